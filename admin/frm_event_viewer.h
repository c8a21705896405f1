// frmEventViewer: the event-log notification settings: thresholds, error interval and the nodes
// that raise no event-log entries.
//
// Placeholder: the window exists with its name and caption so that the rest of
// the console can open, hide and test it; its controls and handlers are built
// in this file pair.
#pragma once

#include <QWidget>

namespace travik {

class Console;

class FrmEventViewer : public QWidget {
  Q_OBJECT

 public:
  explicit FrmEventViewer(Console& console);

  // Fills the node lists and the three settings boxes.
  void updateEVForm();

 private:
  Console& console_;
};

}  // namespace travik
