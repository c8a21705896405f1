// Removal of stale data before each processing run.
//
// Before a run rebuilds calls from the stored events, calls that began before
// the retention period go, each with its tasks, recipients and errors.
//
// Unfinished calls and the line and node totals are not removed here: the
// line walk replaces a line's unfinished calls when it walks the line again
// (line_walk.h), and the totals are replaced whole when the run computes
// them.  A run that has nothing to rebuild so leaves them as they are, and a
// failure here never leaves the totals of two runs in one table.
#pragma once

#include <cstdint>

#include "processing/runtime/program.h"

namespace travik {

// Reconnects to the program database, shows how many calls are unfinished
// and removes the obsolete calls with their rows in one transaction (a
// failure leaves them all), which also records that the totals are due.
// While the retention is unusable (Program::unusableRetention) it removes
// none and says so in the activity log and on standard error, at every run.
// Returns the number of calls removed.
std::int64_t ClearDatabases(Program& program);

}  // namespace travik
