// The console's windows at the font sizes the desktop gives them at 96, 120
// and 144 dots per inch, and with the desktop's own font in place of the
// dialog font.
#pragma once

#include <QApplication>
#include <QFont>
#include <ostream>

#include "platform/windowing.h"
#include "tests/admin/console_fixture.h"

namespace travik::test {

struct FontCase {
  const char* name;
  double points;
  bool dialogFamily;  // false: the desktop's own font, as when the dialog font is missing
};

// 9 points is the desktop's usual size; 11.25 and 13.5 are what it becomes
// at 120 and 144 dots per inch.
inline constexpr FontCase kFontCases[] = {{"DialogFontAt96Dpi", 9, true},
                                          {"DialogFontAt120Dpi", 11.25, true},
                                          {"DialogFontAt144Dpi", 13.5, true},
                                          {"DesktopFontInstead", 9, false}};

// Test parameters print as their names.
inline void PrintTo(const FontCase& fontCase, std::ostream* out) { *out << fontCase.name; }

// Sets the application's font before the console makes its windows, and
// puts the old one back after.
class ApplicationFont {
 protected:
  explicit ApplicationFont(const FontCase& fontCase) : previous_((qtApplication(), QApplication::font())) {
    QFont desktop(QStringLiteral("DejaVu Sans"));
    desktop.setPointSizeF(fontCase.points);
    QApplication::setFont(fontCase.dialogFamily ? platform::dialogFont(desktop) : desktop);
  }
  ~ApplicationFont() { QApplication::setFont(previous_); }

 private:
  QFont previous_;
};

}  // namespace travik::test
