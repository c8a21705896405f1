// A lock held by another process: a forked child takes it and keeps it until
// it is let go or killed, so tests see exactly what a second program sees.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>

#include "platform/instance_lock.h"

namespace travik::test {

class LockHolder {
 public:
  // Forks a child that takes the lock on file, as the account uid when one is
  // given (the caller must be root for that).  Returns once the child has tried.
  explicit LockHolder(const std::filesystem::path& file, std::optional<uid_t> uid = std::nullopt);
  ~LockHolder();
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

  // What the child's attempt gave.
  platform::LockResult result() const { return result_; }
  // Ends the child as a crash would (SIGKILL) and reaps it.
  void kill();
  // Lets the child end normally and reaps it.
  void letGo();

 private:
  pid_t pid_ = -1;
  int control_ = -1;  // closing it lets the child end
  platform::LockResult result_ = platform::LockResult::Failed;
};

}  // namespace travik::test
