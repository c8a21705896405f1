// frmEventsForCall: the stored events of the line of the call chosen in frmMain's calls grid.
//
// Placeholder: the window exists with its name and caption so that the rest of
// the console can open, hide and test it; its controls and handlers are built
// in this file pair.
#pragma once

#include <QWidget>

namespace travik {

class Console;

class FrmEventsForCall : public QWidget {
  Q_OBJECT

 public:
  explicit FrmEventsForCall(Console& console);

 private:
  Console& console_;
};

}  // namespace travik
