#include "processing/process_calls.h"

namespace travik {

void processCalls(Program&) {}

}  // namespace travik
