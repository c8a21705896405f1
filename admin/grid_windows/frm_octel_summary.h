// frmOctelSummary: the Octel node totals of the last processing run, one row
// per node serial number as the summary run left them.
#pragma once

#include "admin/grid_windows/grid_window.h"

namespace travik {

class FrmOctelSummary : public GridWindow {
  Q_OBJECT

 public:
  explicit FrmOctelSummary(Console& console);

  // Reads the totals anew and shows them.  Throws when they cannot be read;
  // the window then stays as it was.
  void showTotals();

  void cmdSaveOctelGrid_Click();

  QTableView* flxOctelSummary = nullptr;
  QPushButton* cmdSaveOctelGrid = nullptr;
};

}  // namespace travik
