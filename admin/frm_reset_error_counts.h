// frmResetErrorCounts: sets the communication error count of one Octel node, or of all, back to zero.
//
// Placeholder: the window exists with its name and caption so that the rest of
// the console can open, hide and test it; its controls and handlers are built
// in this file pair.
#pragma once

#include <QWidget>

namespace travik {

class Console;

class FrmResetErrorCounts : public QWidget {
  Q_OBJECT

 public:
  explicit FrmResetErrorCounts(Console& console);

  // Empties the node list lstReset.
  void clearList();
  // Fills lstReset with the nodes that have calls.
  void getLatest();

 private:
  Console& console_;
};

}  // namespace travik
