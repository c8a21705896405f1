// frmAbout: the about box: the console's version and the maker's lines; shown modal.
//
// Placeholder: the window exists with its name and caption so that the rest of
// the console can open, hide and test it; its controls and handlers are built
// in this file pair.
#pragma once

#include <QWidget>

namespace travik {

class Console;

class FrmAbout : public QWidget {
  Q_OBJECT

 public:
  explicit FrmAbout(Console& console);

 private:
  Console& console_;
};

}  // namespace travik
