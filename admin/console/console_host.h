// The console's Host: the processing code's status box, progress bar, mouse
// pointer, pauses, message boxes and clock, over the widgets of frmMain.
//
// Processing may speak before the main window exists (the common start opens
// the activity log and checks the gateway's trace level first), so every value
// is kept here as well and handed to the widgets once they are attached.
// Message boxes, pauses and the clock each have a hook, so tests answer the
// boxes, skip the pauses and set the time without a display or a wait.
//
// A stop signal ends the console wherever its event loop does not run: at a
// wait for the database that gave way to it, at a pause and at a message box
// about to open.  None of them is inside a write transaction.
#pragma once

#include <QPointer>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "processing/runtime/host.h"

class QLineEdit;
class QProgressBar;
class QTimer;
class QWidget;

namespace travik {

// What the host needs of the console's stop signals (admin/stop_signals).
struct StopSignalHooks {
  std::function<bool()> arrived;  // a stop signal has arrived
  // The orderly end; returns only when the end is under way already.
  std::function<void()> end;
  // Where a box's text goes instead, once the end is under way.
  std::function<void(std::string_view)> unshownBox;
};

// One message box as the console would show it.
struct MessageBoxRequest {
  std::string text;
  std::string title;
  MessageButtons buttons = MessageButtons::Ok;
  MessageIcon icon = MessageIcon::None;
};

class ConsoleHost : public Host {
 public:
  ConsoleHost() = default;

  // The progress display of frmMain and the window whose pointer changes.
  void attachProgressDisplay(QLineEdit* txtProgress, QProgressBar* progressBar, QWidget* pointerWindow);
  // frmLogFlushTimer's timer; until it is attached the wish is remembered.
  void attachLogFlushTimer(QTimer* timer);

  void showStatus(std::string_view text, StatusColour colour) override;
  void setProgressMin(double value) override;
  void setProgressMax(double value) override;
  void setProgressValue(double value) override;
  double progressMax() const override { return progressMax_; }
  void setMousePointer(int pointer) override;
  // Lets pending window events and timer ticks run.
  void yield() override;
  void sleep(int milliseconds) override;
  MessageResult messageBox(std::string_view text, std::string_view title, MessageButtons buttons,
                           MessageIcon icon) override;
  DateTime now() override;
  void setLogFlushTimerEnabled(bool enabled) override;
  void honourStopAfterDatabaseWait() override { endingOnStopSignal(); }

  // The window a message box shown now belongs to: the active window of the
  // console, else the main window while it is shown; none before it is.
  QWidget* messageBoxOwner();

  // What the display shows now.
  const std::string& statusText() const { return statusText_; }
  double progressMin() const { return progressMin_; }
  double progressValue() const { return progressValue_; }
  int mousePointer() const { return mousePointer_; }
  bool logFlushTimerEnabled() const { return flushTimerWanted_; }

  // Answers a message box instead of showing one (tests; never set in the program).
  std::function<MessageResult(const MessageBoxRequest&)> messageBoxHook;
  // Replaces the pause (tests: no time passes).
  std::function<void(int)> sleepHook;
  // Replaces the machine's local time.
  std::function<DateTime()> clock;
  // Unset until the console listens for stop signals.
  StopSignalHooks stopSignal;

 private:
  // After a stop signal: ends the console, or returns true when the end is under way.
  bool endingOnStopSignal();

  QPointer<QLineEdit> txtProgress_;
  QPointer<QProgressBar> progressBar_;
  QPointer<QWidget> pointerWindow_;
  // The window the last message box belonged to.
  QPointer<QWidget> lastBoxOwner_;
  QPointer<QTimer> flushTimer_;
  bool flushTimerWanted_ = false;
  std::string statusText_;
  StatusColour statusColour_ = StatusColour::WindowText;
  double progressMin_ = 0, progressMax_ = 100, progressValue_ = 0;
  int mousePointer_ = kPointerDefault;
  // A pause repaints the windows at most this often; short pauses mostly not at all.
  static constexpr std::chrono::milliseconds kPaintDuringPauseEvery{100};
  std::chrono::steady_clock::time_point nextPaint_;
};

// Shows a real modal QMessageBox and returns the button pressed.
MessageResult showMessageBox(const MessageBoxRequest& request, QWidget* parent = nullptr);

}  // namespace travik
