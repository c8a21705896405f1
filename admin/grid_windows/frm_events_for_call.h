// frmEventsForCall: every stored event of the line of the call chosen in
// frmMain's calls grid, positioned on and marking the call's first event.
#pragma once

#include <QColor>
#include <cstdint>

#include "admin/grid_windows/grid_window.h"

namespace travik {

// The mark of the call's first event.
inline const QColor kFirstEventColour(255, 255, 0);

class FrmEventsForCall : public GridWindow {
  Q_OBJECT

 public:
  explicit FrmEventsForCall(Console& console);

  // Fills the grid with the line's events; the first event stamped with the
  // call's begin time (as stored, "YYYY-MM-DD HH:MM:SS") becomes the current row,
  // three rows below the top where it can, and is painted.  Throws when the
  // events cannot be read; the window then stays as it was.
  void showEventsForCall(std::int64_t line, const QString& beginTime);

  void cmdSaveEventsGrid_Click();

  QTableView* flxEvents = nullptr;
  QPushButton* cmdSaveEventsGrid = nullptr;
};

// The top row that shows a found row (from 0) with up to three rows above it.
// Rows 0 and 1 are themselves the top; from row 2 on the top is three rows up,
// and never above the first row.
int topRowShowing(int foundRow);

}  // namespace travik
