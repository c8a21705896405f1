// Twips, the unit of the windows' designed positions and sizes, in Qt's pixels.
#pragma once

#include <QSize>

class QWidget;

namespace travik {

// Places a control by its designed position and size in twips.
void placeInTwips(QWidget* control, int left, int top, int width, int height);
// Sizes a window's client area in twips.
void resizeClientInTwips(QWidget& window, int width, int height);
// Raises the window's outer size (frame included) to the minimum when it is
// smaller; returns the outer size in twips as it then stands.
QSize keepMinimumOuterSize(QWidget& window, int minimumWidthTwips, int minimumHeightTwips);
// Raises the window's client size to the minimum when either side is
// smaller; returns the client size in twips for the layout to follow.
QSize keepMinimumClientSize(QWidget& window, int minimumWidthTwips, int minimumHeightTwips);

}  // namespace travik
