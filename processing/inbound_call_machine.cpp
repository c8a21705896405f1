#include "processing/inbound_call_machine.h"

#include "processing/call_module.h"

namespace travik {

void processInboundCall(CallModule&) {}

}  // namespace travik
