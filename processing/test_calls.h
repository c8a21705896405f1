// Test calls to the Octel nodes, scheduled through the gateway's directory.
#pragma once

#include <string>

#include "processing/program.h"

namespace travik {

void scheduleTestCalls(Program& program);
bool excludeFromTestCalls(Program& program, const std::string& serialNumber);
void cancelTestCalls(Program& program);

}  // namespace travik
