// The service's start on a program folder that cannot be written yet.
//
// A read-only file system under the program folder (a remount after a disk
// error, a snapshot, a rescue boot) is a spell, not a fault of the
// installation: no account could write the folder, and a remount lets the
// service go on.  A service started during such a spell (after a kill, a
// crash, a boot or the handled-error limit) waits it out at each timer tick,
// rather than end and let its unit give up after a few restarts.  It never
// processes without its lock: it takes the lock first and starts only then,
// so of two services waiting on one folder exactly one goes on.  An account
// that may not write the folder is no spell and is left to the caller.
//
// Something at the lock's name that the service may not replace (a folder, a
// fifo or link of the programs' own accounts) is waited out the same way: an
// operator removes it, and the service goes on by itself rather than end and
// be given up by its unit.
#pragma once

#include <filesystem>
#include <optional>

#include "platform/instance_lock.h"
#include "processing/runtime/program.h"
#include "service/event_loop.h"

namespace travik {

// Takes the service's lock once neither the lock file nor the database lies
// on a read-only file system and nothing blocks the lock's name, trying again
// every tickMs.  While it waits, it
// says so once (standard error and the event log) and again when it goes on.
// The lock's result once it is neither refused by a read-only file system
// nor Blocked; none
// when a stop was requested while waiting.
std::optional<platform::LockResult> takeLockWhenWritable(Program& program, platform::InstanceLock& lock,
                                                         LoopPlatform& platform, std::int64_t tickMs);

}  // namespace travik
