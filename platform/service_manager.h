// The service manager, read-only: the state of a service through systemd.
//
// A service name maps to a unit: lower case, without ".exe", plus
// ".service" ("TRAVIKservice.exe" -> travikservice.service).  No systemd, no
// unit or no answer reads as "not installed".
#pragma once

#include <string>
#include <string_view>

namespace travik::platform {

// Service states, numbered as the service manager numbers them; the console
// and the uninstaller take them from here.  systemd gives only the first
// four; the three of a paused service complete the numbering.
namespace service_state {
constexpr int kNotInstalled = -1;  // not installed, or no state could be read
constexpr int kStopped = 1;
constexpr int kStartPending = 2;
constexpr int kStopPending = 3;
constexpr int kRunning = 4;
constexpr int kContinuePending = 5;
constexpr int kPausePending = 6;
constexpr int kPaused = 7;
}  // namespace service_state

std::string unitNameForService(std::string_view serviceName);
// Maps the LoadState/ActiveState of `systemctl show` to a state.
int serviceStateFromSystemctl(std::string_view showOutput);
// Asks systemctl (found on the search path) for the service's state.
int queryServiceState(std::string_view serviceName);

}  // namespace travik::platform
