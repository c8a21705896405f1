// The summary run after call reconstruction: one summary row per line and per
// Octel node found in calls, their totals, the threshold warnings (where the
// gateway is installed) and the automatic reports.
#pragma once

#include "processing/program.h"

namespace travik {

// The last stage of every processing run; every step runs even when an
// earlier one failed, so totals, warnings and reports come from whatever rows exist.
void processSummaryData(Program& program);
// Adds one linesummary row per distinct line of calls.
void getLinesUsed(Program& program);
// Adds one octelsummary row per distinct node serial number of calls.
void getOctelNodes(Program& program);

}  // namespace travik
