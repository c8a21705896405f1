#include "platform/instance_lock.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

namespace travik::platform {

namespace fs = std::filesystem;

namespace {

// FNV-1a: stable across compilers and builds, which std::hash is not; the
// console and the uninstaller must derive the same name.
std::uint64_t fnv1a(std::string_view text) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (const unsigned char c : text) {
    hash ^= c;
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

struct flock wholeFile(short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;  // to the end, however long
  return lock;
}

// The database whose permissions the lock files beside it follow.
constexpr const char* kDatabaseName = "vrndata.mdb";
// What a lock file may grant at most: read and write, to its owner and group.
constexpr mode_t kLockModeBits = S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP;

struct LockPermissions {
  mode_t mode;
  gid_t group;
  uid_t databaseOwner;
  bool databaseOpenToOthers;  // any account may open the database, and so run a program on it
};

// What the database beside the lock file grants (its folder's, while there
// is none); the owner alone where neither can be asked.
LockPermissions permissionsFor(const fs::path& file) {
  const fs::path folder = file.parent_path();
  struct stat info {};
  if (::stat((folder / kDatabaseName).c_str(), &info) == 0)
    return {static_cast<mode_t>(info.st_mode & kLockModeBits), info.st_gid, info.st_uid,
            (info.st_mode & (S_IROTH | S_IWOTH)) != 0};
  if (::stat(folder.c_str(), &info) != 0) return {S_IRUSR | S_IWUSR, ::getegid(), ::geteuid(), false};
  return {static_cast<mode_t>(info.st_mode & kLockModeBits), info.st_gid, info.st_uid, false};
}

// The account is in the group of the database: one of the accounts that run
// the programs, whose lock files are theirs to make.
bool inDatabaseGroup(uid_t uid, gid_t group) {
  const struct passwd* account = ::getpwuid(uid);
  if (!account) return false;
  int count = 64;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  if (::getgrouplist(account->pw_name, account->pw_gid, groups.data(), &count) < 0) {
    groups.resize(static_cast<std::size_t>(count));
    if (::getgrouplist(account->pw_name, account->pw_gid, groups.data(), &count) < 0) return false;
  }
  return std::find(groups.begin(), groups.begin() + count, group) != groups.begin() + count;
}

// A lock file of an account that is neither root, nor the database's owner,
// nor in its group, found by root or that owner: its owner could hold it and
// keep every program out, and may have made it when the folder was open to it.
bool foreignToThisAccount(const struct stat& info, const LockPermissions& wanted) {
  const uid_t self = ::geteuid();
  if (self != 0 && self != wanted.databaseOwner) return false;  // not this account's to judge
  return info.st_uid != 0 && info.st_uid != wanted.databaseOwner && info.st_uid != self &&
         !inDatabaseGroup(info.st_uid, wanted.group);
}

std::string accountName(uid_t uid) {
  const struct passwd* account = ::getpwuid(uid);
  return (account ? std::string(account->pw_name) + " " : std::string()) + "(uid " + std::to_string(uid) + ")";
}

std::string kindOf(mode_t mode) {
  if (S_ISREG(mode)) return "regular file";
  if (S_ISDIR(mode)) return "folder";
  if (S_ISLNK(mode)) return "symbolic link";
  if (S_ISFIFO(mode)) return "FIFO";
  if (S_ISSOCK(mode)) return "socket";
  return S_ISCHR(mode) ? "character device" : "block device";
}

// "the FIFO /opt/travik/travik-service.lock of nobody (uid 65534)"
std::string entryName(const struct stat& entry, const fs::path& file) {
  return "the " + kindOf(entry.st_mode) + " " + file.string() + " of " + accountName(entry.st_uid);
}

// Gives the open lock file the group and mode it may have, where this account
// may set them; whoever may not leaves them as they are.  The group first:
// the group's bits must never apply to another group, not even for a moment.
void restrictTo(int fd, const struct stat& info, const LockPermissions& wanted) {
  if (info.st_gid != wanted.group && ::fchown(fd, static_cast<uid_t>(-1), wanted.group) != 0) return;
  if ((info.st_mode & 07777) != wanted.mode) (void)::fchmod(fd, wanted.mode);
}

// Opens the lock file for writing, creating it when missing, owner-only until
// restrictTo has given it its group.  An existing file is opened without
// O_CREAT: in a sticky folder (TRAVIK_LOCK_DIR in /tmp) the kernel refuses
// O_CREAT on another account's file (fs.protected_regular).  A link is never followed, so nobody can
// point the lock at another file; nor is a special file opened (O_NONBLOCK: a
// fifo would wait for a writer).
int openLockFile(const fs::path& file) {
  constexpr int kFlags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int fd = ::open(file.c_str(), kFlags);
    if (fd >= 0 || errno != ENOENT) return fd;
    const int created = ::open(file.c_str(), kFlags | O_CREAT | O_EXCL, S_IRUSR | S_IWUSR);
    if (created >= 0 || errno != EEXIST) return created;
    // Created by another process in between: open that one.
  }
  return -1;
}

struct Replacement {
  int fd = -1;              // the new lock file, locked; -1 where none
  bool notRenamed = false;  // made and locked, but it could not take the name
};

// Puts a lock file of this account, already locked, in the place of the entry
// found at the name.  The two names are exchanged, so that the entry that
// comes out can be checked: where the name moved on since it was inspected
// (another program replaced it first), the exchange is undone, and the
// caller, finding its file not named, looks again.  A foreign file that
// nobody holds stays locked by the caller meanwhile, so that no program takes
// it; one that locked it before the exchange sees the name moved on.
Replacement replaceLockFile(const fs::path& file, const struct stat& entry, const LockPermissions& wanted) {
  const fs::path fresh = file.string() + ".new-" + std::to_string(::getpid());
  constexpr int kFlags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_CREAT | O_EXCL;
  int fd = ::open(fresh.c_str(), kFlags, S_IRUSR | S_IWUSR);
  // What bears this process's number is no live replacement: a leftover, or planted.
  if (fd < 0 && errno == EEXIST && ::unlink(fresh.c_str()) == 0) fd = ::open(fresh.c_str(), kFlags, S_IRUSR | S_IWUSR);
  if (fd < 0) return {};
  struct stat info {};
  struct flock lock = wholeFile(F_WRLCK);
  const auto undo = [&](bool notRenamed) {
    const int code = errno;
    ::unlink(fresh.c_str());
    ::close(fd);
    errno = code;
    return Replacement{-1, notRenamed};
  };
  if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) return undo(false);
  if (::fstat(fd, &info) == 0) restrictTo(fd, info, wanted);
  if (::renameat2(AT_FDCWD, fresh.c_str(), AT_FDCWD, file.c_str(), RENAME_EXCHANGE) == 0) {
    struct stat out {};
    if (::lstat(fresh.c_str(), &out) == 0 && out.st_dev == entry.st_dev && out.st_ino == entry.st_ino) {
      ::unlink(fresh.c_str());  // the replaced entry itself: a link goes, its target stays
      return {fd};
    }
    if (::renameat2(AT_FDCWD, fresh.c_str(), AT_FDCWD, file.c_str(), RENAME_EXCHANGE) == 0) ::unlink(fresh.c_str());
    return {fd};
  }
  // A file system without the exchange: a plain rename, which replaces a link too.
  if ((errno == EINVAL || errno == ENOSYS) && ::rename(fresh.c_str(), file.c_str()) == 0) return {fd};
  return undo(true);
}

// Replacements killed between their create and their rename leave their new
// file beside the lock.  One whose maker no longer runs and that nobody holds
// is no replacement under way, and goes.
void removeLeftovers(const fs::path& file) {
  const std::string prefix = file.filename().string() + ".new-";
  std::error_code error;
  for (auto it = fs::directory_iterator(file.parent_path(), error); !error && it != fs::directory_iterator();
       it.increment(error)) {
    const fs::path path = it->path();
    const std::string name = path.filename().string();
    const std::string number = name.starts_with(prefix) ? name.substr(prefix.size()) : "";
    if (number.empty() || number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t maker = static_cast<pid_t>(std::stol(number));
    if (maker == ::getpid() || ::kill(maker, 0) == 0 || errno != ESRCH) continue;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) continue;
    bool held = false;
    try {
      held = S_ISREG(info.st_mode) && InstanceLock::isHeld(path);
    } catch (const std::system_error&) {
      continue;
    }
    if (!held) ::unlink(path.c_str());
  }
}

// The name still stands for the open file: it was not replaced since it was opened.
bool stillNamed(int fd, const fs::path& file) {
  struct stat opened {};
  struct stat named {};
  return ::fstat(fd, &opened) == 0 && ::lstat(file.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
         opened.st_ino == named.st_ino;
}

bool refusedToThisAccount(int code) { return code == EACCES || code == EPERM || code == EROFS; }

fs::path canonicalFolder(const fs::path& folder) {
  std::error_code error;
  const fs::path named = folder.empty() ? fs::path(".") : folder;
  fs::path canonical = fs::weakly_canonical(named, error);
  if (error) canonical = fs::absolute(named, error).lexically_normal();
  // "folder/" and "folder" are one folder.
  if (!canonical.has_filename() && canonical.has_relative_path()) canonical = canonical.parent_path();
  return canonical;
}

}  // namespace

fs::path lockFileFor(std::string_view kind, const fs::path& programFolder) {
  const fs::path folder = canonicalFolder(programFolder);
  const std::string name = "travik-" + std::string(kind);
  const char* configured = std::getenv("TRAVIK_LOCK_DIR");
  if (!configured || !*configured) return folder / (name + ".lock");
  std::error_code ignored;
  fs::create_directories(configured, ignored);
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(fnv1a(folder.native())));
  return fs::path(configured) / (name + "-" + hex + ".lock");
}

LockResult InstanceLock::tryAcquire() {
  if (fd_ >= 0) {
    notice_.clear();  // a lock held already replaced nothing now
    return LockResult::Taken;
  }
  // A file replaced between its open and its lock is opened again: the lock
  // must be on the file that the name stands for.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const LockResult result = lockOnce();
    if (result != LockResult::Taken) return result;
    if (stillNamed(fd_, file_)) {
      removeLeftovers(file_);
      return result;
    }
    release();
  }
  failure_ = "cannot use the lock file " + file_.string() + ": it was replaced at every attempt";
  return LockResult::Failed;
}

LockResult InstanceLock::lockOnce() {
  failure_.clear();
  notice_.clear();
  readOnlyFileSystem_ = false;
  const auto fail = [&](int code) {
    failure_ = "cannot use the lock file " + file_.string() + ": " + std::strerror(code);
    return LockResult::Failed;
  };
  const LockPermissions wanted = permissionsFor(file_);
  // Only a regular file is opened: a fifo would wait for a writer, a device
  // might act on its open.
  struct stat named {};
  if (::lstat(file_.c_str(), &named) == 0 && !S_ISREG(named.st_mode))
    return replaceEntry(named, foreignToThisAccount(named, wanted), -1);
  const int fd = openLockFile(file_);
  if (fd < 0) {
    const int code = errno;
    if (!refusedToThisAccount(code)) return fail(code);
    readOnlyFileSystem_ = code == EROFS;
    failure_ = std::string(readOnlyFileSystem_ ? "cannot" : "no permission to") + " create or write the lock file " +
               file_.string() + ": " + std::strerror(code);
    return LockResult::NotPermitted;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int code = errno;
    ::close(fd);
    return fail(code);
  }
  const bool foreign = foreignToThisAccount(info, wanted);
  if (!S_ISREG(info.st_mode)) {  // put there since the look above
    ::close(fd);
    return replaceEntry(info, foreign, -1);
  }
  if (!foreign) restrictTo(fd, info, wanted);
  struct flock lock = wholeFile(F_WRLCK);
  if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
    const int code = errno;
    if (code != EAGAIN && code != EACCES) {
      ::close(fd);
      return fail(code);
    }
    if (foreign && !wanted.databaseOpenToOthers) return replaceEntry(info, true, fd);
    ::close(fd);
    // The database open to every account: any of them may run a program on
    // it, so its holder is obeyed, but never in silence.
    if (foreign)
      failure_ = "the lock file " + file_.string() + " is owned by " + accountName(info.st_uid) +
                 ", not by root, the database's owner or its group, and is held, and the database is open to other "
                 "accounts; if no TRAVIK program runs, remove it";
    return LockResult::HeldElsewhere;
  }
  if (!foreign) {
    fd_ = fd;
    return LockResult::Taken;
  }
  return replaceEntry(info, true, fd);
}

LockResult InstanceLock::replaceEntry(const struct stat& entry, bool foreign, int heldFd) {
  const std::string what = entryName(entry, file_);
  // A folder cannot be exchanged for a file and then removed with what it
  // holds; an entry of the programs' own accounts is theirs to mend.
  if (S_ISDIR(entry.st_mode) || !foreign) {
    failure_ = what + " stands at the lock's name, where no lock can be held; remove it";
    return LockResult::Blocked;
  }
  const Replacement replaced = replaceLockFile(file_, entry, permissionsFor(file_));
  const int code = errno;
  if (heldFd >= 0) ::close(heldFd);  // the old file's lock goes only once the new file has its name
  if (replaced.fd < 0) {
    failure_ = replaced.notRenamed
                   ? what + " stands at the lock's name and cannot be replaced (" + std::strerror(code) + "); remove it"
                   : "cannot replace " + what + ": " + std::strerror(code);
    return replaced.notRenamed ? LockResult::Blocked : LockResult::Failed;
  }
  fd_ = replaced.fd;
  notice_ = "Replaced " + what +
            ", an account outside root, the database's owner and its group, which runs no TRAVIK program on "
            "the database, by a lock file of this program's own.";
  return LockResult::Taken;
}

void InstanceLock::release() {
  if (fd_ < 0) return;
  ::close(fd_);  // the lock goes with the open file description
  fd_ = -1;
}

bool InstanceLock::isHeld(const fs::path& file) {
  // No program holds a lock on what is no regular file (a FIFO, a link, a
  // folder planted at the name): trusting a mark for it would keep the
  // service stepping aside for a console that does not run.
  struct stat named {};
  if (::lstat(file.c_str(), &named) == 0 && !S_ISREG(named.st_mode)) return false;
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT) return false;
    throw std::system_error(errno, std::generic_category(), "cannot use the lock file " + file.string());
  }
  // Locks of different open file descriptions conflict even within one
  // process, so this sees a lock that this process holds too.
  struct flock probe = wholeFile(F_WRLCK);
  const int result = ::fcntl(fd, F_OFD_GETLK, &probe);
  const int code = errno;
  struct stat info {};
  const bool known = ::fstat(fd, &info) == 0;
  ::close(fd);
  if (result != 0) throw std::system_error(code, std::generic_category(), "cannot use the lock file " + file.string());
  // The hold of an account that may not open the database stands for no
  // program: the next taker replaces its file.
  const LockPermissions wanted = permissionsFor(file);
  if (known && S_ISREG(info.st_mode) && foreignToThisAccount(info, wanted) && !wanted.databaseOpenToOthers)
    return false;
  return probe.l_type != F_UNLCK;
}

}  // namespace travik::platform
