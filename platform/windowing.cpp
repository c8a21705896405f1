#include "platform/windowing.h"

#include <unistd.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace travik::platform {

namespace {

// The design font's average character, in twips (6 by 13 pixels at 15 twips
// to the pixel).
constexpr double kDesignCharWidthTwips = 90.0;
constexpr double kDesignCharHeightTwips = 195.0;

// How long a window may take to be mapped before showPainted gives up.
constexpr int kMapWaitMs = 1000;

// While the application is being made: whom to name and how to end when Qt
// gives up on the window system, and Qt's messages held back till then.
struct Opening {
  const char* program;
  int status;
  // Copied: a platform plugin that failed may be unloaded before its messages are passed on.
  struct Held {
    QtMsgType type;
    QByteArray file;
    int line;
    QByteArray function;
    QByteArray category;
    QString text;
  };
  std::vector<Held> held;
};
Opening* opening = nullptr;

// Qt's fatal messages while the application is made all say that no platform
// plugin could be used: the display is missing or does not answer, or the
// platform named is not there.
void whileOpening(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    std::fprintf(stderr,
                 "%s: no display to show its windows on (DISPLAY is not set or cannot be reached, or the Qt "
                 "platform chosen cannot be used); start it in a desktop session\n",
                 opening->program);
    std::fflush(stderr);
    ::_exit(opening->status);
  }
  opening->held.push_back({type, context.file, context.line, context.function, context.category, text});
}

}  // namespace

std::unique_ptr<QApplication> openApplication(int& argc, char** argv, const char* program, int noDisplayStatus) {
  Opening state{program, noDisplayStatus, {}};
  opening = &state;
  const QtMessageHandler previous = qInstallMessageHandler(whileOpening);
  auto application = std::make_unique<QApplication>(argc, argv);
  qInstallMessageHandler(previous);
  opening = nullptr;
  const auto orNull = [](const QByteArray& bytes) { return bytes.isNull() ? nullptr : bytes.constData(); };
  for (const Opening::Held& message : state.held)
    previous(message.type,
             QMessageLogContext(orNull(message.file), message.line, orNull(message.function), orNull(message.category)),
             message.text);
  return application;
}

QFont dialogFont(const QFont& desktopFont) {
  if (!QFontDatabase::families().contains(QString::fromLatin1(kDialogFontFamily))) return desktopFont;
  QFont font(QString::fromLatin1(kDialogFontFamily));
  if (desktopFont.pointSizeF() > 0)
    font.setPointSizeF(desktopFont.pointSizeF());
  else
    font.setPixelSize(desktopFont.pixelSize());
  return font;
}

namespace {

// The desktop's style, except for frames, which the classic style draws.
class ClassicFrames : public QProxyStyle {
 public:
  ClassicFrames() : classic_(QStyleFactory::create(QStringLiteral("Windows"))) {}

  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                          const QWidget* widget) const override {
    if (control == CC_GroupBox && classic_)
      classic_->drawComplexControl(control, option, painter, widget);
    else
      QProxyStyle::drawComplexControl(control, option, painter, widget);
  }
  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                       const QWidget* widget) const override {
    if (control == CC_GroupBox && classic_) return classic_->subControlRect(control, option, part, widget);
    return QProxyStyle::subControlRect(control, option, part, widget);
  }
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == SH_GroupBox_TextLabelVerticalAlignment && classic_)
      return classic_->styleHint(hint, option, widget, data);
    return QProxyStyle::styleHint(hint, option, widget, data);
  }

 private:
  std::unique_ptr<QStyle> classic_;
};

}  // namespace

void useDialogLook() {
  QApplication::setFont(dialogFont(QApplication::font()));
  // The application takes the style over; the proxy takes over the desktop's.
  QApplication::setStyle(new ClassicFrames);
}

TwipScale::TwipScale(const QFont& font) {
  // The average character as the platform measured it: the mean advance of
  // the 52 letters, and the font's ascent plus descent.
  const QFontMetricsF metrics(font);
  const double charWidth =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
  perTwipX_ = charWidth / kDesignCharWidthTwips;
  // Lines are laid out in whole pixels, so the height is the whole-pixel one.
  perTwipY_ = QFontMetrics(font).height() / kDesignCharHeightTwips;
}

TwipScale TwipScale::of(const QWidget& widget) {
  const QWidget* window = widget.window();
  return TwipScale(window ? window->font() : widget.font());
}

int TwipScale::x(int twips) const { return static_cast<int>(std::lround(twips * perTwipX_)); }
int TwipScale::y(int twips) const { return static_cast<int>(std::lround(twips * perTwipY_)); }
// A hair below the whole pixel is that pixel: floating-point noise must not
// add one.
int TwipScale::xAtLeast(int twips) const { return static_cast<int>(std::ceil(twips * perTwipX_ - 1e-6)); }
int TwipScale::yAtLeast(int twips) const { return static_cast<int>(std::ceil(twips * perTwipY_ - 1e-6)); }
int TwipScale::twipsX(int pixels) const { return static_cast<int>(std::lround(pixels / perTwipX_)); }
int TwipScale::twipsY(int pixels) const { return static_cast<int>(std::lround(pixels / perTwipY_)); }

namespace {

// Notes that the window system exposed a window: only then can it take paint.
class ExposeWatch : public QObject {
 public:
  bool exposed = false;

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) exposed = true;
    return false;
  }
};

}  // namespace

void showPainted(QWidget& window) {
  // A window hidden and shown again with no event handled in between still
  // reads as exposed from its earlier showing; the window system has not
  // mapped it again yet, and paint sent now is lost.  So a window that was
  // not on screen waits for the expose of this showing.
  window.createWinId();
  QWindow* handle = window.windowHandle();
  const bool onScreen = window.isVisible() && handle && handle->isExposed();
  ExposeWatch watch;
  if (handle) handle->installEventFilter(&watch);
  window.show();
  window.raise();
  // The timer only wakes the wait when nothing else arrives.
  QTimer wake;
  wake.start(kMapWaitMs);
  const QDeadlineTimer deadline(kMapWaitMs);
  while (!onScreen && handle && window.isVisible() && !watch.exposed && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
  if (handle) handle->removeEventFilter(&watch);
  window.repaint();
  // Hands the painted pixels to the window system.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void paintPending() {
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers |
                                  QEventLoop::X11ExcludeTimers);
}

}  // namespace travik::platform
