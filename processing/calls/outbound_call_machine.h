// The outbound call machine: one call the gateway placed to an Octel node.
#pragma once

namespace travik {

struct CallModule;

// Rebuilds the outbound call whose calls row the line walk has just added
// and saved.  For the openings "Processing Pending Callout to Node", "Call
// Out Process Initiated for Node" and "Processing messages from node:" the
// cursor stands on the opening event; for "Call Status =" the walk has
// stepped it back one row, so the machine's first nextEvent lands on the
// "Call Status =" event itself.  pendingOctelSerial and pendingCorvaneSerial
// hold the serials the walk picked.  Returns with the cursor on the last
// event of the call (or at eof); the walk goes on after it.  A "Call Status
// =" event that ends a call belongs to the next one: the machine returns one
// row before it, so the walk opens the next call there.
void runOutboundCall(CallModule& module);

}  // namespace travik
