#include "admin/grid_windows/frm_octel_summary.h"

#include <QPushButton>

#include "admin/console/console.h"
#include "admin/models/grid_records.h"

namespace travik {

namespace {

constexpr GridWindowDesign kDesign = {"frmOctelSummary",
                                      "Totals per Octel Node",
                                      "flxOctelSummary",
                                      "cmdSaveOctelGrid",
                                      {"NodeTotalsGrid_", "Node Totals grid has been saved as "},
                                      10755,
                                      1800};

}  // namespace

FrmOctelSummary::FrmOctelSummary(Console& console) : GridWindow(console, kDesign) {
  flxOctelSummary = grid;
  cmdSaveOctelGrid = cmdSave;
  connect(cmdSaveOctelGrid, &QPushButton::clicked, this, [this] { cmdSaveOctelGrid_Click(); });
}

void FrmOctelSummary::showTotals() {
  bindGrid(*flxOctelSummary, program().db, octelSummaryQuery());
  show();
}

void FrmOctelSummary::cmdSaveOctelGrid_Click() { saveToFile(procedureName("cmdSaveOctelGrid_Click()")); }

}  // namespace travik
