// Locks that say "a program of this installation is running": one console per
// program folder, one service per program folder, one processing run per
// database.
//
// A lock is an open file description with a whole-file write lock (Linux
// open-file-description locks).  The kernel drops it when the last descriptor
// closes, so a process that ends in any way, a crash or SIGKILL included,
// leaves nothing that could refuse the next one.  Probing with F_OFD_GETLK
// places no lock, so a probe never makes a program that starts at the same
// moment believe it is refused.
//
// The files live in a shared folder for lock files (/run/lock, else /tmp;
// TRAVIK_LOCK_DIR overrides both), not in the program folder: an installed
// program folder is not writable by the accounts that run the console, and a
// lock file there would stay owned by whoever created it.  Each file is made
// readable and writable by every account, so whoever runs first does not lock
// out the others.  Its name carries a hash of the canonical path of the
// program folder (or database), so two installations on one machine never
// see each other's programs, and the same one reached through a link is one.
// The files are never deleted: removing a lock file that another process has
// open would let two holders lock two different files of the same name.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace travik::platform {

enum class LockResult {
  Taken,          // this object holds the lock now
  HeldElsewhere,  // another holder has it
  Failed,         // the lock file could not be used; failure() says why
};

// The folder of the lock files.
std::filesystem::path lockFolder();
// The lock file of one kind of holder ("admin", "service", "processing") for
// a path that names what is locked.
std::filesystem::path lockFileFor(std::string_view kind, const std::filesystem::path& subject);

// Held by a running console, for its program folder.
inline std::filesystem::path consoleLockFile(const std::filesystem::path& programFolder) {
  return lockFileFor("admin", programFolder);
}
// Held by a running service, for its program folder.
inline std::filesystem::path serviceLockFile(const std::filesystem::path& programFolder) {
  return lockFileFor("service", programFolder);
}
// Held during one processing run, for the database it writes.
inline std::filesystem::path processingLockFile(const std::filesystem::path& databaseFile) {
  return lockFileFor("processing", databaseFile);
}

class InstanceLock {
 public:
  explicit InstanceLock(std::filesystem::path file) : file_(std::move(file)) {}
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  ~InstanceLock() { release(); }

  // Takes the lock (again true when this object holds it already).
  LockResult tryAcquire();
  // True when tryAcquire took it.
  bool acquire() { return tryAcquire() == LockResult::Taken; }
  void release();
  bool held() const { return fd_ >= 0; }
  // Why the last tryAcquire failed, naming the file.
  const std::string& failure() const { return failure_; }
  const std::filesystem::path& file() const { return file_; }

  // True when some holder (this process included) has the lock on file; a
  // missing file is a lock nobody holds.  Throws std::system_error when the
  // file exists but cannot be asked.
  static bool isHeld(const std::filesystem::path& file);

 private:
  std::filesystem::path file_;
  int fd_ = -1;
  std::string failure_;
};

}  // namespace travik::platform
