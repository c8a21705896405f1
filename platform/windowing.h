// What the original platform's form engine gave every window, for the two Qt
// programs: the font the windows are drawn in and the look of their frames,
// the twip as a unit that follows that font, and a window painted on demand.
//
// The windows were designed in twips for a small 8-point sans whose average
// character is 6 by 13 pixels at 96 dots per inch.  A twip is turned into
// pixels the way dialog units scale a form with its font: across by the
// font's average character width, down by its height, each against that
// design font.  A design then holds its texts whatever the font, its size or
// the screen's dots per inch; where a text is still wider than its control,
// the window widens the control (admin/widgets/window_geometry.h).
#pragma once

#include <QFont>
#include <memory>

class QApplication;
class QWidget;

namespace travik::platform {

// The program's QApplication.  Where Qt cannot reach a window system (DISPLAY
// not set, a display that does not answer, a platform that cannot be used),
// Qt would abort the process; the program instead ends there, before it has
// opened a file, with one line on standard error naming `program` and with
// `noDisplayStatus`.  Qt's messages while the application is made are held
// back until it stands, so that they do not run ahead of that line.
std::unique_ptr<QApplication> openApplication(int& argc, char** argv, const char* program, int noDisplayStatus);

// Metric-compatible with the classic sans most of these designs were drawn
// in, so texts take the room they were given; from the Debian archive
// (fonts-liberation2).
inline constexpr const char* kDialogFontFamily = "Liberation Sans";

// The windows' font: kDialogFontFamily at the size of the desktop's own font,
// or the desktop's font itself when that family is not installed.
QFont dialogFont(const QFont& desktopFont);
// Makes dialogFont the application's font and draws frames as the designs
// expect them: the caption on the frame's top line, which the controls'
// designed tops leave room for (a style that puts the caption above the
// line would run it through the frame's first row of controls).  Call
// before any window exists.
void useDialogLook();

// Twips of a design in the pixels of a window's font.
class TwipScale {
 public:
  explicit TwipScale(const QFont& font);
  // A window's scale, from the window's font.
  static TwipScale of(const QWidget& widget);

  // A position or length across, and down, to the nearest pixel.
  int x(int twips) const;
  int y(int twips) const;
  // The least pixels that cover the twips (for sizes that are minimums).
  int xAtLeast(int twips) const;
  int yAtLeast(int twips) const;
  // Pixels back to twips.
  int twipsX(int pixels) const;
  int twipsY(int pixels) const;

 private:
  double perTwipX_;
  double perTwipY_;
};

// Shows the window and paints it before returning: a window shown before
// long work on the user-interface thread would otherwise stay unpainted
// until the work ends.  Waits (input held back) until the window system has
// exposed the window for this showing, at most a second.
void showPainted(QWidget& window);

// Lets the windows repaint now, from inside long work on the user-interface
// thread: what the window system asks to be redrawn and what the work has
// changed on screen is painted.  Input, timers and socket notifiers stay
// queued for when the work is done, so nothing else runs in between.
void paintPending();

}  // namespace travik::platform
