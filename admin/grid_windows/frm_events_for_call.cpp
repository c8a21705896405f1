#include "admin/grid_windows/frm_events_for_call.h"

#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <algorithm>

#include "admin/console/console.h"
#include "admin/models/grid_records.h"
#include "admin/models/query_model.h"

namespace travik {

namespace {

constexpr GridWindowDesign kDesign = {"frmEventsForCall",
                                      "Call Events for Line",
                                      "flxEvents",
                                      "cmdSaveEventsGrid",
                                      {"CallDetailGrid_", "Call Details grid has been saved as "},
                                      10755,
                                      1800};

}  // namespace

int topRowShowing(int foundRow) { return foundRow >= 2 ? std::max(foundRow - 3, 0) : foundRow; }

FrmEventsForCall::FrmEventsForCall(Console& console) : GridWindow(console, kDesign) {
  flxEvents = grid;
  cmdSaveEventsGrid = cmdSave;
  connect(cmdSaveEventsGrid, &QPushButton::clicked, this, [this] { cmdSaveEventsGrid_Click(); });
}

void FrmEventsForCall::showEventsForCall(std::int64_t line, const QString& beginTime) {
  bindGrid(*flxEvents, program().db, eventsOfLineQuery(line));
  setWindowTitle(QStringLiteral("Call Events for Line ") + QString::number(line));
  show();
  QueryModel& model = boundModel(*flxEvents);
  const int found = model.findRow(grid_field::kEventTime, beginTime);
  if (found < 0) return;  // the call's first events are gone: the grid stays at its top
  // Current, not selected: a selection would paint over the yellow mark.
  flxEvents->selectionModel()->setCurrentIndex(model.index(found, grid_field::kEventTime),
                                               QItemSelectionModel::NoUpdate);
  setTopRow(*flxEvents, topRowShowing(found));
  model.setBackground(found, 0, grid_field::kEventFields - 1, kFirstEventColour);
}

void FrmEventsForCall::cmdSaveEventsGrid_Click() { saveToFile(procedureName("cmdSaveEventsGrid_Click()")); }

}  // namespace travik
