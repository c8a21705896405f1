// frmRecipientsForTask: the recipients of the task chosen in frmTasksForCall.
//
// Placeholder: the window exists with its name and caption so that the rest of
// the console can open, hide and test it; its controls and handlers are built
// in this file pair.
#pragma once

#include <QWidget>

namespace travik {

class Console;

class FrmRecipientsForTask : public QWidget {
  Q_OBJECT

 public:
  explicit FrmRecipientsForTask(Console& console);

 private:
  Console& console_;
};

}  // namespace travik
