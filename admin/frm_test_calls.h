// frmTestCalls: the test-call settings: which Octel nodes take test calls, and placing or
// cancelling test calls at once.
//
// Placeholder: the window exists with its name and caption so that the rest of
// the console can open, hide and test it; its controls and handlers are built
// in this file pair.
#pragma once

#include <QWidget>

namespace travik {

class Console;

class FrmTestCalls : public QWidget {
  Q_OBJECT

 public:
  explicit FrmTestCalls(Console& console);

  // Fills the two node lists from the gateway and excludeFromTestCalls.
  void updateTCForm();

 private:
  Console& console_;
};

}  // namespace travik
