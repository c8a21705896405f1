// Removal of stale data before each processing run.
//
// A run rebuilds calls from the stored events, continuing each line after its
// newest finished call.  So before it starts, calls the previous run left
// unfinished are removed (they are rebuilt from the same events), calls that
// began before the retention period go, each with its tasks, recipients and
// errors, and the line and node totals are emptied for the run to compute anew.
#pragma once

#include "processing/program.h"

namespace travik {

// Reconnects to the program database and removes incomplete and obsolete
// calls with their rows, then the previous totals.  Each group of calls is
// removed in one transaction: a failure leaves that group whole.
void ClearDatabases(Program& program);

}  // namespace travik
