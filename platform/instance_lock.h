// One console per machine: a lock file held (flock) while a console runs.
// The lock goes with the process, so a crashed console never leaves it behind.
#pragma once

#include <filesystem>

namespace travik::platform {

class InstanceLock {
 public:
  explicit InstanceLock(std::filesystem::path file) : file_(std::move(file)) {}
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  ~InstanceLock() { release(); }

  // Takes the lock; false when another process holds it.
  bool acquire();
  void release();
  // True when some process (this one included) holds the lock on file.
  static bool isHeld(const std::filesystem::path& file);

 private:
  std::filesystem::path file_;
  int fd_ = -1;
};

}  // namespace travik::platform
