// Test calls to the Octel nodes, scheduled through the gateway's directory.
//
// A directory row of the test-call mailbox (TESTCALLMAILBOXID) for a node
// stands for a pending test call until it is removed; the gateway places the
// call.  The service schedules on its test-call timer, the console on demand.
#pragma once

#include <string>
#include <string_view>

#include "processing/runtime/host.h"
#include "processing/runtime/program.h"

namespace travik {

// Adds a test-mailbox row for every Octel node of the gateway that is not
// excluded and has none yet.
void scheduleTestCalls(Program& program);
// True when the serial is listed in excludeFromTestCalls, letter case included.
bool excludeFromTestCalls(Program& program, const std::string& serialNumber);
// Removes every directory row of the test-call mailbox, whatever its node.
void cancelTestCalls(Program& program);
// The outcome of a test-call operation: kept as the status, shown to the
// operator of the console and logged with the time.
void reportTestCallOutcome(Program& program, std::string_view text, MessageIcon icon = MessageIcon::Information);

}  // namespace travik
