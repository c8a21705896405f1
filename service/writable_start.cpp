#include "service/writable_start.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "processing/runtime/event_log.h"

namespace travik {

namespace {

// The file cannot be opened for writing because its file system is mounted
// read-only; a missing file is not.  access(2) reports EROFS before any
// permission: what no account could do.
bool onReadOnlyFileSystem(const std::filesystem::path& file) {
  return ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0 && errno == EROFS;
}

// Why the service cannot start yet, naming the file; empty when it can.
std::string readOnlyHold(Program& program, platform::InstanceLock& lock, platform::LockResult taken) {
  if (taken == platform::LockResult::NotPermitted && lock.onReadOnlyFileSystem()) return lock.failure();
  if (taken == platform::LockResult::Taken && onReadOnlyFileSystem(program.databasePath()))
    return "cannot write the database " + program.databasePath().string() + ": " + std::strerror(EROFS);
  return {};
}

}  // namespace

std::optional<platform::LockResult> takeLockWhenWritable(Program& program, platform::InstanceLock& lock,
                                                         LoopPlatform& platform, std::int64_t tickMs) {
  bool waiting = false;
  for (;;) {
    const platform::LockResult taken = lock.tryAcquire();
    const std::string hold = readOnlyHold(program, lock, taken);
    if (hold.empty()) {
      // The event log's word that it goes on is event 1, which the start writes next.
      if (waiting)
        program.standardError("The program folder " + program.programFolder.string() +
                              " can be written again; the service goes on.");
      return taken;
    }
    if (!waiting) {
      const std::string text = hold + "; the service waits, trying again every " + std::to_string(tickMs / 1000) +
                               " seconds, until the file system can be written.";
      program.standardError(text);
      myEventLog(program, event_id::kServiceTimerError, 2, text);  // a warning
    }
    waiting = true;
    if (platform.waitForStop(tickMs)) return std::nullopt;
  }
}

}  // namespace travik
