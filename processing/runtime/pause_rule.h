// The rule that no write transaction of the program database stays open
// across a yield, a sleep or a message box (host.h says why), kept by the
// program's host for every pause, whoever asks for it.
//
// The call walk keeps a transaction open per line and commits it around each
// pause itself (calls/walk_host.h); everywhere else a step commits before it
// pauses.  A pause that finds a write transaction open is a fault of our own
// code: the test programs fail the test that meets it (a std::logic_error,
// which passes every guard there), a debug build stops at once, and a release
// build writes one activity-log line naming the caller and lets the pause go
// ahead.  That line is not a handled error: counted, a fault of ours could end
// the service at the error limit.
#pragma once

#include <source_location>
#include <string>

#include "processing/runtime/host.h"

namespace travik {

class Program;

// The check of one pause; `caller` is where it was asked for, when known.
void enforcePauseRule(Program& program, Pause pause, const std::source_location* caller);

// What the check says of a broken rule.
std::string pauseRuleBreach(Pause pause, const std::source_location* caller);

}  // namespace travik
