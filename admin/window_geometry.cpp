#include "admin/window_geometry.h"

#include <QWidget>
#include <algorithm>

#include "admin/frm_main.h"

namespace travik {

namespace {
int toPixels(int twips) { return (twips + kTwipsPerPixel - 1) / kTwipsPerPixel; }
}  // namespace

void placeInTwips(QWidget* control, int left, int top, int width, int height) {
  control->setGeometry(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel);
}

void resizeClientInTwips(QWidget& window, int width, int height) { window.resize(toPixels(width), toPixels(height)); }

QSize keepMinimumOuterSize(QWidget& window, int minimumWidthTwips, int minimumHeightTwips) {
  // Before the first show the frame is unknown; the client size stands for it.
  const QSize outer = window.isVisible() ? window.frameGeometry().size() : window.size();
  const QSize frame = outer - window.size();
  QSize wanted = outer;
  if (outer.width() * kTwipsPerPixel < minimumWidthTwips) wanted.setWidth(toPixels(minimumWidthTwips));
  if (outer.height() * kTwipsPerPixel < minimumHeightTwips) wanted.setHeight(toPixels(minimumHeightTwips));
  if (wanted != outer) window.resize(wanted - frame);
  return wanted * kTwipsPerPixel;
}

QSize keepMinimumClientSize(QWidget& window, int minimumWidthTwips, int minimumHeightTwips) {
  int widthTwips = window.width() * kTwipsPerPixel;
  int heightTwips = window.height() * kTwipsPerPixel;
  if (widthTwips < minimumWidthTwips || heightTwips < minimumHeightTwips) {
    widthTwips = std::max(widthTwips, minimumWidthTwips);
    heightTwips = std::max(heightTwips, minimumHeightTwips);
    window.resize(toPixels(widthTwips), toPixels(heightTwips));
  }
  return {widthTwips, heightTwips};
}

}  // namespace travik
