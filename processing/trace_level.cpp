#include "processing/trace_level.h"

namespace travik {

void setMervaleTraceLevelVerbose(Program&) {}

}  // namespace travik
