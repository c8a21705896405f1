// The gateway's analog call tracing level: checked at start and raised when too low.
#pragma once

#include "processing/runtime/program.h"

namespace travik {

void setMervaleTraceLevelVerbose(Program& program);

}  // namespace travik
