// The uninstaller's own look at the service manager: the state of one service.
//
// The uninstaller carries its own copy of this query (it shares no code with
// the console); underneath it asks the same read-only stand-in, systemd.  The
// platform library it links, as every program does, declares the states.
#pragma once

#include <string_view>

#include "platform/service_manager.h"

namespace travik::uninstall {

// Service states, numbered as the service manager numbers them.
namespace service_state = platform::service_state;

// The state 1 to 7 of the service, or -1 for every failure; shows nothing.
// An empty machine name is the local computer; no other machine's manager can
// be reached here, so any other name reads -1.  Service names compare without
// regard to case ("travikservice.exe" finds "TRAVIKservice.exe").
int getServiceState(std::string_view machineName, std::string_view serviceName);

}  // namespace travik::uninstall
