// One processing run: stale data out, new trace files in, calls rebuilt,
// totals and reports after.
#pragma once

#include "processing/program.h"

namespace travik {

void processLogs(Program& program);

}  // namespace travik
