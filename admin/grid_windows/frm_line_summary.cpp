#include "admin/grid_windows/frm_line_summary.h"

#include <QPushButton>

#include "admin/console/console.h"
#include "admin/models/grid_records.h"

namespace travik {

namespace {

constexpr GridWindowDesign kDesign = {"frmLineSummary",
                                      "Totals per Line",
                                      "flxLineSummary",
                                      "cmdSaveLineGrid",
                                      {"LineTotalsGrid_", "Line Totals grid has been saved as "},
                                      10755,
                                      1800};

}  // namespace

FrmLineSummary::FrmLineSummary(Console& console) : GridWindow(console, kDesign) {
  flxLineSummary = grid;
  cmdSaveLineGrid = cmdSave;
  connect(cmdSaveLineGrid, &QPushButton::clicked, this, [this] { cmdSaveLineGrid_Click(); });
}

void FrmLineSummary::showTotals() {
  bindGrid(*flxLineSummary, program().db, lineSummaryQuery());
  show();
}

void FrmLineSummary::cmdSaveLineGrid_Click() { saveToFile(procedureName("cmdSaveLineGrid_Click()")); }

}  // namespace travik
