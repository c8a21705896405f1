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
  // The summary tables were emptied at the start of the run, so rows are only added.
  guard(program, "getLinesUsed()",
        [&] { program.db.exec("insert into linesummary (line) select distinct line from calls"); });
}

void getOctelNodes(Program& program) {
  guard(program, "getOctelNodes()", [&] {
    program.db.exec("insert into octelsummary (octelserialnumber) select distinct octelserialnumber from calls");
  });
}

void processSummaryData(Program& program) {
  auto step = [&](auto&& work) { guard(program, kProcessSummaryData, work); };
  step([&] { showProgressStatus(program, "Calculating per line totals..."); });
  step([&] { getLinesUsed(program); });
  step([&] { getOctelNodes(program); });
  step([&] { calculateTotalsForLines(program); });
  step([&] { showProgressStatus(program, "Calculating per node totals..."); });
  step([&] { calculateTotalsForOctels(program); });
  if (!program.gatewayNotInstalled) step([&] { logThresholdWarnings(program); });
  step([&] { showProgressStatus(program, "Generating reports..."); });
  step([&] { deleteOldReports(program); });
  step([&] { generateAutoReports(program); });
}

}  // namespace travik
