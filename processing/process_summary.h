// The summary run after call reconstruction: totals, threshold warnings, reports.
#pragma once

#include "processing/program.h"

namespace travik {

void processSummaryData(Program& program);

}  // namespace travik
