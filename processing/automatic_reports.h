// The automatic report set written at the end of every processing run.
#pragma once

#include "processing/program.h"

namespace travik {

// Deletes the earlier AllCalls, LineSummary, OctelSummary and RejectedRecipients reports.
void deleteOldReports(Program& program);
// Writes the four automatic reports.
void generateAutoReports(Program& program);

}  // namespace travik
