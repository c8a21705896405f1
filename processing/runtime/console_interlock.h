// One console per program folder, and the idle deadline of the console.
#pragma once

#include <filesystem>

#include "platform/instance_lock.h"
#include "processing/runtime/program.h"

namespace travik {

inline constexpr const char* kAdminRegistryKey = "Software\\TravikAdmin";
inline constexpr const char* kAdminRunningValue = "TravikAdminIsRunning";

// The lock file a running console holds.
std::filesystem::path consoleLockFile(const std::filesystem::path& programFolder);
// What the console's start finds at its lock.
enum class ConsoleAtStart {
  GoesOn,   // this console holds the lock, or runs without it (read-only, or a reported failure)
  Running,  // another console holds it
  Blocked,  // an entry at its name keeps every console out; its box was shown
};
// Whether a console already runs on this program folder.  Asking is taking:
// when no console holds the lock, lock holds it from now on, so two consoles
// started together cannot both go on.  A lock this account may not create or
// write (it may only read the program folder) makes the console read-only
// (read_only_mode.h); a lock that cannot be used otherwise is a handled error
// naming the reason; either way the console goes on.  An entry at the lock's
// name that it may not replace is one box naming it and saying what to do.
ConsoleAtStart travikAdminIsRunning(Program& program, platform::InstanceLock& lock);
// Whether ADMINRUNNING stands for a console that runs: the mark reads "True"
// and a console holds the console lock of this program folder.  A mark
// with no console holding the lock was left by a console that did not end in
// order; it is reported once in the activity log (again after a console has
// held the lock, or the mark has been cleared) and does not hold.
bool adminRunningMarkHolds(Program& program);
// Writes the registry running flag (creating the key when needed).
void setAdminIsRunningFlag(Program& program, bool flag);
// The registry running flag; a missing key or value reads false.
bool getAdminIsRunningFlag(Program& program);
// Idle deadline = now + 30 minutes.
void resetIdleDeadline(Program& program);

}  // namespace travik
