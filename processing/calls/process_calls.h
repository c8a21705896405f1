// Call reconstruction: the walk over the lines that rebuilds every call.
//
// For each gateway line with events the walk has not read yet, it goes on
// right behind the last event of the line's newest finished call (line_walk.h),
// and on every event that opens a call adds a calls row and hands the
// following events to the inbound or outbound call machine.  Each line's rows
// are written in one transaction; the pauses of the walk come after that
// transaction, so none is held across a pause.
#pragma once

#include "processing/runtime/program.h"

namespace travik {

struct CallModule;

// Rebuilds the calls of every line with events not walked yet.  True when
// some line had such events (its calls were made again).
bool processCalls(Program& program);
// Whether some line has events the walk has not read (throws on failure).
bool callsToRebuild(Program& program);

// The walk over one line's new events (module prepared by processCalls);
// `lastLine` bounds the progress bar (0: the highest line parsed).  True when
// the line had events to walk.
bool processCallsForLine(CallModule& module, int line, int lastLine = 0);
// "tagCall()": the current call's callid and timestampbegin from the current event.
void tagCall(CallModule& module);

}  // namespace travik
