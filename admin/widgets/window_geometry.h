// Twips, the unit of the windows' designed positions and sizes, in the
// pixels of each window's font (platform/windowing.h says how).
#pragma once

#include <QRect>
#include <QSize>
#include <vector>

#include "platform/windowing.h"

class QWidget;

namespace travik {

using platform::TwipScale;

// The scale of the window the widget belongs to.
inline TwipScale twipScale(const QWidget& widget) { return TwipScale::of(widget); }

// Places a control by its designed position and size in twips.  A control
// whose text needs more width than that is widened to its text: a longer
// control beats a clipped caption.
void placeInTwips(QWidget* control, int left, int top, int width, int height);
// Widens a label, button, check box or date picker whose text does not fit
// its width, and lengthens a wrapped label downwards to the lines its text
// takes; for texts set after the control was placed.
void widenToText(QWidget* control);
// The width a control needs to show its whole text (single-line labels,
// buttons, check boxes, date pickers); 0 for controls without such a text.
int textWidthNeeded(const QWidget& control);
// Sizes a window's client area in twips.
// The least client width at which a title bar shows the window's whole
// caption: the caption in the bold face title bars are commonly drawn in,
// beside room for the window's icon and three title-bar buttons.
int titleBarWidth(const QWidget& window);
void resizeClientInTwips(QWidget& window, int width, int height);
// Sizes a window's client area in twips and keeps it from being made smaller.
void resizeMinimumClientInTwips(QWidget& window, int width, int height);
// Raises the window's outer size (frame included) to the minimum when it is
// smaller; returns the outer size in twips as it then stands.  Before the
// window is first shown its frame is unknown: the size is left alone and
// taken to be at least the minimum.
QSize keepMinimumOuterSize(QWidget& window, int minimumWidthTwips, int minimumHeightTwips);
// Raises the window's client size to the minimum when either side is
// smaller; returns the client size in twips for the layout to follow.
QSize keepMinimumClientSize(QWidget& window, int minimumWidthTwips, int minimumHeightTwips);

// Where the buttons (and check boxes) of a shown window lie on the screen;
// only the window's own controls, not the corner buttons of its grids.
std::vector<QRect> buttonsOnScreen(const QWidget& window);
// Places a window about to be shown, beside the window `owner`, so that it
// covers none of `keepClear` (screen rectangles), left-aligned with the
// owner and on the owner's screen: at the highest place where it covers none
// of them (false where the screen has none: the window is left alone), or at
// the lowest such place, so that it leaves the tops of the windows it covers
// in view, and where the screen has none, at the lowest of the places that
// cover the fewest.  A window already shown, or one whose place covers none
// of them (the operator's, kept between openings), stays where it is; so does
// any window while the owner is hidden.
enum class Prefer { Highest, Lowest };
bool placeClearOf(QWidget& window, const QWidget& owner, const std::vector<QRect>& keepClear, Prefer prefer);

}  // namespace travik
