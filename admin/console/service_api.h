// The state of a service, as the console asks the service manager for it.
#pragma once

#include <string_view>

#include "platform/service_manager.h"

namespace travik {

class Console;

// Service states in the service manager's numbering; -1 when none could be read.
namespace service_state = platform::service_state;

// The state 1 to 7 of the named service on the machine (empty: this computer),
// or -1 when the service does not exist or cannot be read.  Names compare
// without regard to case.  Shows nothing, traps nothing.
int getServiceState(Console& console, std::string_view machineName, std::string_view serviceName);

}  // namespace travik
