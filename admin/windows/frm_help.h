// The help window: the help page TRAVIK.htm beside the programs, in a
// browser window of its own, 420 by 360 pixels.
#pragma once

#include <QWidget>

class QTextBrowser;

namespace travik {

class Console;

inline constexpr int kHelpWindowWidth = 420;
inline constexpr int kHelpWindowHeight = 360;

class FrmHelp : public QWidget {
  Q_OBJECT

 public:
  explicit FrmHelp(Console& console);

  // Loads the page from the program folder (again) and shows the window.
  void open();

  QTextBrowser* brwHelp = nullptr;

 private:
  Console& console_;
};

}  // namespace travik
