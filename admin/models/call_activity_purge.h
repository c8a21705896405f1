// Deleting all call activity from the program database: the stored trace
// events, the rebuilt calls with their tasks, recipients and errors, and the
// totals, and how far each trace file was read, so the next run reads the
// trace files within the retention again.  The settings and the two
// exclusion lists stay.
#pragma once

#include "platform/db.h"

namespace travik {

// One transaction, so a purge that fails (a database locked by the service)
// leaves every table as it was instead of calls without their events.
void purgeCallActivity(db::Connection& db);

}  // namespace travik
