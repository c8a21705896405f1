// frmLineSummary: the line totals of the last processing run, one row per
// gateway line as the summary run left them.
#pragma once

#include "admin/grid_windows/grid_window.h"

namespace travik {

class FrmLineSummary : public GridWindow {
  Q_OBJECT

 public:
  explicit FrmLineSummary(Console& console);

  // Reads the totals anew and shows them.  Throws when they cannot be read;
  // the window then stays as it was.
  void showTotals();

  void cmdSaveLineGrid_Click();

  QTableView* flxLineSummary = nullptr;
  QPushButton* cmdSaveLineGrid = nullptr;
};

}  // namespace travik
