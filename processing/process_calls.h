// Call reconstruction: the walk over the lines that rebuilds every call.
#pragma once

#include "processing/program.h"

namespace travik {

// Rebuilds the calls of lines 1 to program.highestLineNumber from the new events.
void processCalls(Program& program);

}  // namespace travik
