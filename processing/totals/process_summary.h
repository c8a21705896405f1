// The summary run after call reconstruction: one summary row per line and per
// Octel node found in calls, their totals, the threshold warnings (where the
// gateway is installed) and the automatic reports.
#pragma once

#include "processing/runtime/program.h"

namespace travik {

// The last stage of every processing run; every step runs even when an
// earlier one failed, so totals, warnings and reports come from whatever rows exist.
void processSummaryData(Program& program);
// The same for a run that changed no call: only what a run cut short left
// due (summary_due.h), the totals with the rest or the warnings and reports
// alone; nothing when nothing is due.
void processDueSummaryData(Program& program);
// Replaces the rows of linesummary by one per distinct line of calls, totals
// not computed (the run itself makes the rows with their totals).
void getLinesUsed(Program& program);
// The same for octelsummary and the node serial numbers of calls.
void getOctelNodes(Program& program);

}  // namespace travik
