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
// The files lie in the program folder, beside the database vrndata.mdb
// (TRAVIK_LOCK_DIR overrides, for tests): travik-admin.lock,
// travik-service.lock and travik-processing.lock.  Only the accounts that may
// run the programs write that folder (SQLite makes its -wal and -shm files
// there), so only they can create a lock file; a folder every account may
// write would let any account take the locks first and keep the service and
// every console out.  A folder of the locks' own would need a mode and a group
// of its own, set by whoever happens to create it first; the program folder's
// are the operator's.  A lock file grants nothing the database lacks: read
// and write for its owner and group as far as vrndata.mdb grants them (the
// folder's, while there is no database), nothing to other accounts (one that
// could read the file could hold a read lock on it and refuse every writer),
// and the database's group where the account that takes it may set it; each take
// brings an existing file back to that.  An account that may not create or
// write its lock (it may only read the program folder) is told so apart from
// any other failure: a console then runs read-only.
//
// An entry at a lock's name owned by an account other than root, the
// database's owner and the members of its group (made while the folder was
// open to it, say) is never obeyed by root or that owner: such an account may
// not open the database, so it runs no TRAVIK program, and whatever it holds
// there stands for none.  Whatever the entry is (a file, held or not, a fifo,
// a socket, a symbolic link), a file of their own, locked before it takes the
// name, is put in its place by an atomic exchange of the two names, which
// never follows a link; notice() names what was replaced.  Only where the
// database itself is open to other accounts could such an account run a
// program on it: there its held lock is obeyed, and failure() names it.  An
// entry that cannot be replaced so (a folder), or that is no file but belongs
// to the programs' own accounts, is Blocked: failure() names it, and it is
// for the operator to remove.  Every taker checks, once it holds a lock, that
// the name still stands for the file it locked, and opens it again if not;
// and it removes the new files that a replacement killed before its rename
// left beside the lock.
//
// The files are never deleted: removing a lock file that another process has
// open would let two holders lock two different files of the same name.  In a
// folder of TRAVIK_LOCK_DIR the name also carries a hash of the canonical path
// of the program folder, so that the programs of several program folders can
// share that one folder.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace travik::platform {

enum class LockResult {
  Taken,          // this object holds the lock now
  HeldElsewhere,  // another holder has it
  NotPermitted,   // this account may not create the lock file or open it for writing; failure() says so
  Failed,         // the lock file could not be used otherwise; failure() says why
  Blocked,        // an entry at the lock's name that may not be replaced stands in the way; failure() names it
};

// The lock file of one kind of holder ("admin", "service", "processing") for
// a program folder: in that folder, or in TRAVIK_LOCK_DIR when it is set.
std::filesystem::path lockFileFor(std::string_view kind, const std::filesystem::path& programFolder);

// Held by a running console, for its program folder.
inline std::filesystem::path consoleLockFile(const std::filesystem::path& programFolder) {
  return lockFileFor("admin", programFolder);
}
// Held by a running service, for its program folder.
inline std::filesystem::path serviceLockFile(const std::filesystem::path& programFolder) {
  return lockFileFor("service", programFolder);
}
// Held during one processing run, for the database it writes (in its folder).
inline std::filesystem::path processingLockFile(const std::filesystem::path& databaseFile) {
  return lockFileFor("processing", databaseFile.parent_path());
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
  // Why the last tryAcquire failed, naming the file; for HeldElsewhere, empty
  // but where the file belongs to another account.
  const std::string& failure() const { return failure_; }
  // What the last tryAcquire replaced to take the lock, naming the entry,
  // its kind and its owner; empty where it replaced nothing.
  const std::string& notice() const { return notice_; }
  // The last tryAcquire was NotPermitted because the file system of the lock
  // file is mounted read-only: no account could write it, and a remount may
  // soon let this one.
  bool onReadOnlyFileSystem() const { return readOnlyFileSystem_; }
  const std::filesystem::path& file() const { return file_; }

  // True when some holder (this process included) has the lock on file; a
  // missing file is a lock nobody holds, and so is an entry that is no
  // regular file, and a file that tryAcquire would replace for its owner
  // (another account's, above).  Throws std::system_error when the file
  // exists but cannot be asked (this account may not read it).
  static bool isHeld(const std::filesystem::path& file);

 private:
  // One attempt: open (or create) the file and lock it.
  LockResult lockOnce();
  // Takes the name from the entry that stands at it, as lockOnce found it
  // (its descriptor, locked, or -1), where that entry may be replaced.
  LockResult replaceEntry(const struct stat& entry, bool foreign, int heldFd);

  std::filesystem::path file_;
  int fd_ = -1;
  std::string failure_;
  std::string notice_;
  bool readOnlyFileSystem_ = false;
};

}  // namespace travik::platform
