#include "admin/console/console_host.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

#include "platform/windowing.h"

namespace travik {

namespace {

// QProgressBar holds whole numbers; the processing code works in singles.
int toBarValue(double value) {
  if (!std::isfinite(value)) return 0;
  if (value > 2147483647.0) return 2147483647;
  if (value < -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(std::lround(value));
}

}  // namespace

void ConsoleHost::attachProgressDisplay(QLineEdit* txtProgress, QProgressBar* progressBar, QWidget* pointerWindow) {
  txtProgress_ = txtProgress;
  progressBar_ = progressBar;
  pointerWindow_ = pointerWindow;
  if (!statusText_.empty()) showStatus(std::string(statusText_), statusColour_);
  if (progressBar_) {
    progressBar_->setRange(toBarValue(progressMin_), toBarValue(progressMax_));
    progressBar_->setValue(toBarValue(progressValue_));
  }
  setMousePointer(mousePointer_);
}

void ConsoleHost::attachLogFlushTimer(QTimer* timer) {
  flushTimer_ = timer;
  setLogFlushTimerEnabled(flushTimerWanted_);
}

void ConsoleHost::showStatus(std::string_view text, StatusColour colour) {
  statusColour_ = colour;
  statusText_ = text;
  if (!txtProgress_) return;
  QPalette palette = txtProgress_->palette();
  palette.setColor(QPalette::Text, colour == StatusColour::Progress
                                       ? QColor(Qt::blue)
                                       : QApplication::palette(txtProgress_).color(QPalette::Text));
  txtProgress_->setPalette(palette);
  txtProgress_->setText(QString::fromStdString(statusText_));
}

void ConsoleHost::setProgressMin(double value) {
  progressMin_ = value;
  if (progressBar_) progressBar_->setMinimum(toBarValue(value));
}

void ConsoleHost::setProgressMax(double value) {
  progressMax_ = value;
  if (progressBar_) progressBar_->setMaximum(toBarValue(value));
}

void ConsoleHost::setProgressValue(double value) {
  progressValue_ = value;
  if (progressBar_) progressBar_->setValue(toBarValue(value));
}

void ConsoleHost::setMousePointer(int pointer) {
  mousePointer_ = pointer;
  if (!pointerWindow_) return;
  if (pointer == kPointerHourglass)
    pointerWindow_->setCursor(Qt::WaitCursor);
  else
    pointerWindow_->unsetCursor();
}

void ConsoleHost::yield() { QCoreApplication::processEvents(); }

bool ConsoleHost::endingOnStopSignal() {
  if (!stopSignal.arrived || !stopSignal.arrived()) return false;
  stopSignal.end();
  return true;
}

void ConsoleHost::sleep(int milliseconds) {
  if (endingOnStopSignal()) return;
  if (sleepHook) {
    sleepHook(milliseconds);
    return;
  }
  // The windows stay painted through a pause; nothing else runs in it.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(milliseconds);
  for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
    if (endingOnStopSignal()) return;
    if (now >= nextPaint_) {
      platform::paintPending();
      nextPaint_ = Clock::now() + kPaintDuringPauseEvery;
    }
    const auto rest = std::chrono::ceil<std::chrono::milliseconds>(std::min(end, nextPaint_) - Clock::now());
    if (rest.count() > 0) QThread::msleep(static_cast<unsigned long>(rest.count()));
  }
}

MessageResult ConsoleHost::messageBox(std::string_view text, std::string_view title, MessageButtons buttons,
                                      MessageIcon icon) {
  // Nobody may be there to answer once a stop signal has come (a logout):
  // the text goes where an operator can still read it, and the answer is the
  // one that starts nothing.
  if (endingOnStopSignal()) {
    stopSignal.unshownBox(text);
    return buttons == MessageButtons::Ok      ? MessageResult::Ok
           : buttons == MessageButtons::YesNo ? MessageResult::No
                                              : MessageResult::Cancel;
  }
  MessageBoxRequest request{std::string(text), std::string(title), buttons, icon};
  if (messageBoxHook) return messageBoxHook(request);
  return showMessageBox(request, messageBoxOwner());
}

QWidget* ConsoleHost::messageBoxOwner() {
  // The window the operator works in raised the box; a box that belongs to
  // it stays above it and takes no other window down with it.
  if (QWidget* active = QApplication::activeWindow(); active && active->isVisible()) return lastBoxOwner_ = active;
  // A box right after another finds no window active yet (the window
  // manager gives the focus back later): it belongs where the first did, or
  // closing it would hand the focus to the main window.
  if (lastBoxOwner_ && lastBoxOwner_->isVisible()) return lastBoxOwner_.data();
  return pointerWindow_ && pointerWindow_->isVisible() ? pointerWindow_.data() : nullptr;
}

DateTime ConsoleHost::now() {
  if (clock) return clock();
  return DateTime::fromTimeT(std::time(nullptr));
}

void ConsoleHost::setLogFlushTimerEnabled(bool enabled) {
  flushTimerWanted_ = enabled;
  if (!flushTimer_) return;
  if (enabled)
    flushTimer_->start();
  else
    flushTimer_->stop();
}

MessageResult showMessageBox(const MessageBoxRequest& request, QWidget* parent) {
  QMessageBox box(parent);
  box.setWindowTitle(QString::fromStdString(request.title));
  box.setText(QString::fromStdString(request.text));
  switch (request.icon) {
    case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MessageIcon::Critical: box.setIcon(QMessageBox::Critical); break;
  }
  switch (request.buttons) {
    case MessageButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MessageButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MessageButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
  }
  const int pressed = box.exec();
  switch (pressed) {
    case QMessageBox::Cancel: return MessageResult::Cancel;
    case QMessageBox::Yes: return MessageResult::Yes;
    case QMessageBox::No: return MessageResult::No;
    default: break;
  }
  // Closing an OK/Cancel box by its close box counts as Cancel.
  if (request.buttons == MessageButtons::OkCancel && pressed != QMessageBox::Ok) return MessageResult::Cancel;
  return MessageResult::Ok;
}

}  // namespace travik
