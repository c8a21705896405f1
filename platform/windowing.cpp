#include "platform/windowing.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cmath>

namespace travik::platform {

namespace {

// The design font's average character, in twips (6 by 13 pixels at 15 twips
// to the pixel).
constexpr double kDesignCharWidthTwips = 90.0;
constexpr double kDesignCharHeightTwips = 195.0;

// How long a window may take to be mapped before showPainted gives up.
constexpr int kMapWaitMs = 1000;

}  // namespace

QFont dialogFont(const QFont& desktopFont) {
  if (!QFontDatabase::families().contains(QString::fromLatin1(kDialogFontFamily))) return desktopFont;
  QFont font(QString::fromLatin1(kDialogFontFamily));
  if (desktopFont.pointSizeF() > 0)
    font.setPointSizeF(desktopFont.pointSizeF());
  else
    font.setPixelSize(desktopFont.pixelSize());
  return font;
}

void useDialogFont() { QApplication::setFont(dialogFont(QApplication::font())); }

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

void showPainted(QWidget& window) {
  window.show();
  window.raise();
  // Until the window system maps the window, a repaint has nowhere to go.
  // The timer only wakes the wait when nothing else arrives.
  QTimer wake;
  wake.start(kMapWaitMs);
  const QDeadlineTimer deadline(kMapWaitMs);
  while (window.isVisible() && !(window.windowHandle() && window.windowHandle()->isExposed()) && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
  window.repaint();
  // Hands the painted pixels to the window system.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace travik::platform
