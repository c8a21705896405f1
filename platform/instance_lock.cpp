#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

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

// Opens the lock file for writing, creating it when missing.  An existing
// file is opened without O_CREAT: in a sticky world-writable folder the
// kernel refuses O_CREAT on another account's file (fs.protected_regular).
// A link is never followed, so nobody can point the lock at another file.
int openLockFile(const fs::path& file) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0 || errno != ENOENT) return fd;
    const int created = ::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (created >= 0) {
      // The creator's umask would keep other accounts from writing, and so
      // from ever taking the lock.
      (void)::fchmod(created, 0666);
      return created;
    }
    if (errno != EEXIST) return -1;
    // Created by another process in between: open that one.
  }
  return -1;
}

}  // namespace

fs::path lockFolder() {
  if (const char* configured = std::getenv("TRAVIK_LOCK_DIR"); configured && *configured) {
    std::error_code ignored;
    fs::create_directories(configured, ignored);
    return configured;
  }
  std::error_code error;
  if (fs::is_directory("/run/lock", error)) return "/run/lock";
  return "/tmp";  // not TMPDIR: every account must find the same file
}

fs::path lockFileFor(std::string_view kind, const fs::path& subject) {
  std::error_code error;
  fs::path canonical = fs::weakly_canonical(subject, error);
  if (error) canonical = fs::absolute(subject, error).lexically_normal();
  // "folder/" and "folder" are one folder.
  if (!canonical.has_filename() && canonical.has_relative_path()) canonical = canonical.parent_path();
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(fnv1a(canonical.native())));
  return lockFolder() / ("travik-" + std::string(kind) + "-" + hex + ".lock");
}

LockResult InstanceLock::tryAcquire() {
  if (fd_ >= 0) return LockResult::Taken;
  failure_.clear();
  const auto fail = [&](int code) {
    failure_ = "cannot use the lock file " + file_.string() + ": " + std::strerror(code);
    return LockResult::Failed;
  };
  const int fd = openLockFile(file_);
  if (fd < 0) return fail(errno);
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int code = errno;
    ::close(fd);
    return fail(code);
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    failure_ = "cannot use the lock file " + file_.string() + ": not a regular file";
    return LockResult::Failed;
  }
  struct flock lock = wholeFile(F_WRLCK);
  if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
    const int code = errno;
    ::close(fd);
    if (code == EAGAIN || code == EACCES) return LockResult::HeldElsewhere;
    return fail(code);
  }
  fd_ = fd;
  return LockResult::Taken;
}

void InstanceLock::release() {
  if (fd_ < 0) return;
  ::close(fd_);  // the lock goes with the open file description
  fd_ = -1;
}

bool InstanceLock::isHeld(const fs::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    if (errno == ENOENT) return false;
    throw std::system_error(errno, std::generic_category(), "cannot use the lock file " + file.string());
  }
  // Locks of different open file descriptions conflict even within one
  // process, so this sees a lock that this process holds too.
  struct flock probe = wholeFile(F_WRLCK);
  const int result = ::fcntl(fd, F_OFD_GETLK, &probe);
  const int code = errno;
  ::close(fd);
  if (result != 0) throw std::system_error(code, std::generic_category(), "cannot use the lock file " + file.string());
  return probe.l_type != F_UNLCK;
}

}  // namespace travik::platform
