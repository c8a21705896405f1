// The state of a service, as the console asks the service manager for it.
#pragma once

#include <string_view>

namespace travik {

class Console;

// Service states in the service manager's numbering; -1 when none could be read.
namespace service_state {
constexpr int kNotInstalled = -1;
constexpr int kStopped = 1;
constexpr int kStartPending = 2;
constexpr int kStopPending = 3;
constexpr int kRunning = 4;
constexpr int kContinuePending = 5;
constexpr int kPausePending = 6;
constexpr int kPaused = 7;
}  // namespace service_state

// The state 1 to 7 of the named service on the machine (empty: this computer),
// or -1 when the service does not exist or cannot be read.  Names compare
// without regard to case.  Shows nothing, traps nothing.
int getServiceState(Console& console, std::string_view machineName, std::string_view serviceName);

}  // namespace travik
