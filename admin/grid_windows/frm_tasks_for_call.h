// frmTasksForCall: the tasks of the call chosen in frmMain's calls grid, and
// the way on to the recipients of one of them.
#pragma once

#include "admin/grid_windows/grid_window.h"

namespace travik {

class FrmTasksForCall : public GridWindow {
  Q_OBJECT

 public:
  explicit FrmTasksForCall(Console& console);

  // Fills the grid with the call's tasks, captions the window with the call
  // id and shows it.  Throws when the tasks cannot be read; the window then
  // stays as it was.
  void showTasksForCall(const QString& callId);

  void cmdSaveTasksGrid_Click();
  void cmdViewRecipients_Click();
  // A task chosen: its recipients can be shown.
  void flxTasks_Click();

  QTableView* flxTasks = nullptr;
  QPushButton* cmdSaveTasksGrid = nullptr;
  // Disabled until a task is chosen, and again whenever another call is.
  QPushButton* cmdViewRecipients = nullptr;
};

}  // namespace travik
