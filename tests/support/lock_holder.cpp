#include "tests/support/lock_holder.h"

#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace travik::test {

LockHolder::LockHolder(const std::filesystem::path& file, std::optional<uid_t> uid) {
  int report[2];
  int control[2];
  if (::pipe(report) != 0 || ::pipe(control) != 0) throw std::runtime_error("pipe");
  // Made before the fork: the child's way to the lock allocates nothing.
  platform::InstanceLock lock(file);
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork");
  if (pid_ == 0) {
    ::close(report[0]);
    ::close(control[1]);
    if (uid && (::setgroups(0, nullptr) != 0 || ::setgid(*uid) != 0 || ::setuid(*uid) != 0)) ::_exit(3);
    const char result = static_cast<char>(lock.tryAcquire());
    if (::write(report[1], &result, 1) != 1) ::_exit(4);
    char ignored;
    while (::read(control[0], &ignored, 1) > 0) {
    }
    ::_exit(0);
  }
  ::close(report[1]);
  ::close(control[0]);
  control_ = control[1];
  char result = static_cast<char>(platform::LockResult::Failed);
  const bool reported = ::read(report[0], &result, 1) == 1;
  ::close(report[0]);
  if (!reported) throw std::runtime_error("the lock holder ended before it reported");
  result_ = static_cast<platform::LockResult>(result);
}

LockHolder::~LockHolder() { kill(); }

void LockHolder::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  letGo();
}

void LockHolder::letGo() {
  if (control_ >= 0) ::close(control_);
  control_ = -1;
  if (pid_ <= 0) return;
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

}  // namespace travik::test
