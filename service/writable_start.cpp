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

// Why the service cannot start yet, naming the file, what it waits for and
// its word once it goes on; no reason when it can start.
struct Hold {
  std::string reason;
  std::string until;
  std::string goesOn;
};

Hold holdOf(Program& program, platform::InstanceLock& lock, platform::LockResult taken) {
  const std::string writable = "the file system can be written";
  const std::string writtenAgain = "The program folder " + program.programFolder.string() + " can be written again";
  if (taken == platform::LockResult::NotPermitted && lock.onReadOnlyFileSystem())
    return {lock.failure(), writable, writtenAgain};
  // Something at the lock's name that the service may not replace: an
  // operator's slip, no fault of the installation, and gone with one rm.
  if (taken == platform::LockResult::Blocked)
    return {lock.failure(), "it is gone", "The lock file " + lock.file().string() + " can be used again"};
  if (taken == platform::LockResult::Taken && onReadOnlyFileSystem(program.databasePath()))
    return {"cannot write the database " + program.databasePath().string() + ": " + std::strerror(EROFS), writable,
            writtenAgain};
  return {};
}

}  // namespace

std::optional<platform::LockResult> takeLockWhenWritable(Program& program, platform::InstanceLock& lock,
                                                         LoopPlatform& platform, std::int64_t tickMs) {
  Hold said;  // the hold said last; another one is said again
  for (;;) {
    const platform::LockResult taken = lock.tryAcquire();
    sayLockReplaced(program, lock);
    const Hold hold = holdOf(program, lock, taken);
    if (hold.reason.empty()) {
      // The event log's word that it goes on is event 1, which the start writes next.
      if (!said.reason.empty()) program.standardError(said.goesOn + "; the service goes on.");
      return taken;
    }
    if (hold.reason != said.reason) {
      const std::string text = hold.reason + "; the service waits, trying again every " +
                               std::to_string(tickMs / 1000) + " seconds, until " + hold.until + ".";
      program.standardError(text);
      myEventLog(program, event_id::kServiceTimerError, 2, text);  // a warning
      said = hold;
    }
    if (platform.waitForStop(tickMs)) return std::nullopt;
  }
}

}  // namespace travik
