// frmMain: the calls and errors grids, their date filter, the detail and
// totals buttons and saving a grid to a file.
//
// "Show All" lists every stored call and error; the filter lists the finished
// calls inside the pickers' range and the errors between the first shown
// call's begin and the latest shown call's end.  A click in either grid finds
// the partner row in the other.
#include <QDateTimeEdit>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

#include "admin/console/console.h"
#include "admin/console/window_opener.h"
#include "admin/main_window/frm_main.h"
#include "admin/models/bound_grid.h"
#include "admin/models/grid_records.h"
#include "admin/models/query_model.h"
#include "processing/runtime/handled_error.h"

namespace travik {

namespace {

constexpr int kEnterKey = 13;
constexpr GridFile kCallsGridFile = {"CallsGrid_", "Calls grid has been saved as "};
constexpr GridFile kErrorsGridFile = {"ErrorsGrid_", "Errors grid has been saved as "};

}  // namespace

void FrmMain::showVrndataAll() {
  constexpr const char* kProcedure = "showVrndataAll()";
  Program& p = program();
  // A grid whose query fails shows nothing rather than rows of an earlier view.
  if (!trap(kProcedure, ErrorHandler::Standard, [&] { bindGrid(*flxCalls, p.db, allCallsQuery()); }))
    clearGrid(*flxCalls);
  noCallChosen();
  if (!trap(kProcedure, ErrorHandler::Standard, [&] { bindGrid(*flxErrors, p.db, allErrorsQuery()); }))
    clearGrid(*flxErrors);
  // Without calls the pickers keep what they show.
  trap(kProcedure, ErrorHandler::Standard, [&] {
    const auto span = storedCallsBeginSpan(p.db);
    if (!span) return;
    shownRangeStart = span->first;
    shownRangeEnd = span->last;
    dtpStartRange->setDateTime(toQDateTime(shownRangeStart));
    dtpEndRange->setDateTime(toQDateTime(shownRangeEnd));
  });
}

void FrmMain::filterVrndata() {
  constexpr const char* kProcedure = "filterVrndata()";
  Program& p = program();
  WindowOpener& windows = console_.windows;
  trap(kProcedure, ErrorHandler::Standard, [&] {
    p.host.setMousePointer(kPointerHourglass);
    windows.showWorking(QStringLiteral("Filtering...this may take a moment..."));
  });

  const DateTime start = fromQDateTime(dtpStartRange->dateTime());
  const DateTime end = fromQDateTime(dtpEndRange->dateTime());
  bool callsInRange = false;
  trap(kProcedure, ErrorHandler::Standard, [&] {
    const auto span = callsInRangeSpan(p.db, start, end);
    if (!span) return;
    errorsRangeStart = span->first;
    errorsRangeEnd = span->last;
    callsInRange = true;
  });
  if (!trap(kProcedure, ErrorHandler::Standard, [&] { bindGrid(*flxCalls, p.db, callsInRangeQuery(start, end)); }))
    clearGrid(*flxCalls);
  noCallChosen();
  // No call in the range: no error belongs to the view.
  bool errorsShown = false;
  if (callsInRange)
    errorsShown = trap(kProcedure, ErrorHandler::Standard,
                       [&] { bindGrid(*flxErrors, p.db, errorsBetweenQuery(errorsRangeStart, errorsRangeEnd)); });
  if (!errorsShown) clearGrid(*flxErrors);

  windows.hideWorking();
  p.host.setMousePointer(kPointerDefault);
}

// A grid filled anew has no current row: the buttons of one call wait for a
// call to be chosen again.
void FrmMain::noCallChosen() {
  cmdViewCallDetail->setEnabled(false);
  cmdViewTasks->setEnabled(false);
}

void FrmMain::cmdShowAll_Click() { showVrndataAll(); }

void FrmMain::cmdUpdateGridFilters_Click() { filterVrndata(); }

void FrmMain::flxCalls_Click() {
  cmdViewTasks->setEnabled(true);
  cmdViewCallDetail->setEnabled(true);
  // A task chosen for another call is no longer the current one.
  console_.windows.noTaskChosen();
  const int row = currentRow(*flxCalls);
  if (row < 0) return;
  const QString callId = selectCell(*flxCalls, row, grid_field::kCallId);
  const int error = boundModel(*flxErrors).findRow(grid_field::kErrorCallId, callId);
  if (error >= 0) makeCurrentAtTop(*flxErrors, error);
}

void FrmMain::flxCalls_KeyPress(int& keyAscii) {
  if (keyAscii == kEnterKey) flxCalls_Click();
}

void FrmMain::flxErrors_Click() {
  const int row = currentRow(*flxErrors);
  if (row < 0) return;
  const QString callId = selectCell(*flxErrors, row, grid_field::kErrorCallId);
  const int call = boundModel(*flxCalls).findRow(grid_field::kCallId, callId);
  if (call >= 0) makeCurrentAtTop(*flxCalls, call);
}

void FrmMain::flxErrors_KeyPress(int& keyAscii) {
  if (keyAscii == kEnterKey) flxErrors_Click();
}

void FrmMain::cmdViewCallDetail_Click() {
  trap("cmdViewCallDetail_Click() of Form frmMain", ErrorHandler::Standard, [&] {
    const int row = currentRow(*flxCalls);
    if (row < 0) return;
    const QueryModel& calls = boundModel(*flxCalls);
    bool isNumber = false;
    const qlonglong line = calls.text(row, grid_field::kCallLine).toLongLong(&isNumber);
    if (!isNumber) throw HandledError(error_number::kTypeMismatch, "Type mismatch");
    console_.windows.showEventsForCall(line, storedText(calls.value(row, grid_field::kCallBegin)));
  });
}

void FrmMain::cmdViewTasks_Click() {
  trap("cmdViewTasks_Click() of Form frmMain", ErrorHandler::Standard, [&] {
    const int row = currentRow(*flxCalls);
    if (row < 0) return;
    const QString callId = selectCell(*flxCalls, row, grid_field::kCallId);
    console_.windows.showTasksForCall(callId);
  });
}

void FrmMain::cmdViewPerLine_Click() {
  trap("cmdViewPerLine_Click() of Form frmMain", ErrorHandler::Standard, [&] { console_.windows.showLineTotals(); });
}

void FrmMain::cmdViewPerOctel_Click() {
  trap("cmdViewPerOctel_Click() of Form frmMain", ErrorHandler::Standard, [&] { console_.windows.showOctelTotals(); });
}

void FrmMain::cmdSaveCallsGrid_Click() {
  saveGrid(program(), *flxCalls, kCallsGridFile, "cmdSaveCallsGrid_Click() of Form frmMain");
}

void FrmMain::cmdSaveErrorsGrid_Click() {
  saveGrid(program(), *flxErrors, kErrorsGridFile, "cmdSaveErrorsGrid_Click() of Form frmMain");
}

}  // namespace travik
