#include "processing/totals/process_summary.h"

#include "processing/reports/automatic_reports.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/error_handling.h"
#include "processing/totals/summary_due.h"
#include "processing/totals/summary_totals.h"
#include "processing/totals/threshold_warnings.h"

namespace travik {

namespace {

constexpr const char* kProcessSummaryData = "processSummaryData()";

// The warnings and reports from the totals `replaced` names (those this run
// computed; all of them when the totals were committed by a run cut short).
void writeSummaryReports(Program& program, SummaryReports replaced) {
  auto step = [&](auto&& work) { guard(program, kProcessSummaryData, work); };
  // Warnings come from this run's node totals: the previous ones were warned of already.
  if (!program.gatewayNotInstalled && replaced.nodes) step([&] { logThresholdWarnings(program); });
  // Totals that could not be stored are not those of the calls: the reports
  // stay as they are, and owed.
  if (program.databaseUnwritable) return;
  step([&] { showStatusLine(program, "Generating reports..."); });
  // Totals that could not be computed leave the previous report of their
  // kind in place, and so does a report that could not be written.
  bool written = false;
  step([&] { written = replaceAutomaticReports(program, replaced); });
  // From totals computed in full, with every report written, the reports are
  // owed no more.  Totals that failed, or a report that failed, are due still.
  if (written && replaced.lines && replaced.nodes) step([&] { clearReportsDue(program.db); });
}

}  // namespace

void getLinesUsed(Program& program) {
  guard(program, "getLinesUsed()", [&] { replaceLineSummaryRows(program.db); });
}

void getOctelNodes(Program& program) {
  guard(program, "getOctelNodes()", [&] { replaceOctelSummaryRows(program.db); });
}

void processSummaryData(Program& program) {
  auto step = [&](auto&& work) { guard(program, kProcessSummaryData, work); };
  // The summary rows are made with their totals, in the same transaction
  // (calculateTotalsFor...): rows without totals are never left for the
  // reports or for the next run to add onto.
  SummaryReports replaced;
  step([&] { showStatusLine(program, "Calculating per line totals..."); });
  step([&] { replaced.lines = calculateTotalsForLines(program); });
  step([&] { showStatusLine(program, "Calculating per node totals..."); });
  step([&] { replaced.nodes = calculateTotalsForOctels(program, replaced.lines); });
  writeSummaryReports(program, replaced);
}

void processDueSummaryData(Program& program) {
  SummaryDue due = SummaryDue::Nothing;
  guard(program, kProcessSummaryData, [&] { due = summaryDue(program.db); });
  if (due == SummaryDue::Totals)
    processSummaryData(program);
  else if (due == SummaryDue::Reports)
    writeSummaryReports(program, SummaryReports{});
}

}  // namespace travik
