#include "processing/process_summary.h"

#include <string_view>

#include "processing/activity_log.h"
#include "processing/automatic_reports.h"
#include "processing/error_handling.h"
#include "processing/summary_totals.h"
#include "processing/threshold_warnings.h"

namespace travik {

namespace {

constexpr const char* kProcessSummaryData = "processSummaryData()";

// A status of the run: kept, shown in blue and logged with the time.
void showProgressStatus(Program& program, std::string_view text) {
  program.statusMessage = text;
  program.host.showStatus(program.statusMessage, StatusColour::Progress);
  writeLog(program, program.statusMessage, true);
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
  step([&] { showProgressStatus(program, "Calculating per line totals..."); });
  step([&] { replaced.lines = calculateTotalsForLines(program); });
  step([&] { showProgressStatus(program, "Calculating per node totals..."); });
  step([&] { replaced.nodes = calculateTotalsForOctels(program); });
  // Warnings come from this run's node totals: the previous ones were warned of already.
  if (!program.gatewayNotInstalled && replaced.nodes) step([&] { logThresholdWarnings(program); });
  step([&] { showProgressStatus(program, "Generating reports..."); });
  // Totals that could not be computed leave the previous report of their kind in place.
  step([&] { deleteOldReports(program, replaced); });
  step([&] { generateAutoReports(program, replaced); });
}

}  // namespace travik
