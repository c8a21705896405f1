#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace travik::platform {

bool InstanceLock::acquire() {
  if (fd_ >= 0) return true;
  const int fd = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void InstanceLock::release() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

bool InstanceLock::isHeld(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  // flock locks belong to the open file description, so a probe through a new
  // descriptor conflicts even with a lock this process holds.
  const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
  if (!held) ::flock(fd, LOCK_UN);
  ::close(fd);
  return held;
}

}  // namespace travik::platform
