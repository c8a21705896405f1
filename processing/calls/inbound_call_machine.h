// The inbound call machine: one call an Octel node placed to the gateway.
#pragma once

namespace travik {

struct CallModule;

// Rebuilds the inbound call whose calls row the line walk has just added and
// saved for the "Call Received." event under the cursor.  Returns when the
// call is ended, abandoned or the line's events run out, with the cursor on
// the last event it read (or at eof).
void processInboundCall(CallModule& module);

}  // namespace travik
