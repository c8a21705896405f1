// frmRecipientsForTask: the recipients of the task chosen in frmTasksForCall.
#pragma once

#include "admin/grid_windows/grid_window.h"

namespace travik {

class FrmRecipientsForTask : public GridWindow {
  Q_OBJECT

 public:
  explicit FrmRecipientsForTask(Console& console);

  // Fills the grid with the task's recipients, captions the window with the
  // task id and shows it.  Throws when the rows cannot be read; the window
  // then stays as it was.
  void showRecipientsForTask(const QString& taskId);

  void cmdSaveRecipientsGrid_Click();

  QTableView* flxRecipients = nullptr;
  QPushButton* cmdSaveRecipientsGrid = nullptr;
};

}  // namespace travik
