// The common start of both programs: the event log, the database opened and
// brought to this program's schema, the settings, the activity log and the
// gateway's trace level.
#pragma once

#include "processing/runtime/program.h"

namespace travik {

// The common start of both programs.
void main(Program& program);

}  // namespace travik
