// frmLineSummary: the line totals of the last processing run.
//
// Placeholder: the window exists with its name and caption so that the rest of
// the console can open, hide and test it; its controls and handlers are built
// in this file pair.
#pragma once

#include <QWidget>

namespace travik {

class Console;

class FrmLineSummary : public QWidget {
  Q_OBJECT

 public:
  explicit FrmLineSummary(Console& console);

 private:
  Console& console_;
};

}  // namespace travik
