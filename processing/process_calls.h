// Call reconstruction: the walk over the lines that rebuilds every call.
//
// For each gateway line the walk reads the events stamped after the end of
// the line's last stored call, and on every event that opens a call adds a
// calls row and hands the following events to the inbound or outbound call
// machine.  Each line's rows are written in one transaction; the pauses of
// the walk come after that transaction, so none is held across a pause.
#pragma once

#include "processing/program.h"

namespace travik {

struct CallModule;

// Rebuilds the calls of lines 1 to program.highestLineNumber from the new events.
void processCalls(Program& program);

// The walk over one line's new events (module prepared by processCalls).
void processCallsForLine(CallModule& module, int line);
// "tagCall()": the current call's callid and timestampbegin from the current event.
void tagCall(CallModule& module);

}  // namespace travik
