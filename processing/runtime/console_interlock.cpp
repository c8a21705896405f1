#include "processing/runtime/console_interlock.h"

#include "processing/runtime/error_handling.h"
#include "processing/runtime/registry_api.h"

namespace travik {

std::filesystem::path consoleLockFile(const std::filesystem::path& programFolder) {
  return platform::consoleLockFile(programFolder);
}

bool travikAdminIsRunning(Program& program, platform::InstanceLock& lock) {
  bool running = false;
  // No activity log is open yet, so the report is the box alone.
  guard(
      program, "travikAdminIsRunning()",
      [&] {
        switch (lock.tryAcquire()) {
          case platform::LockResult::Taken: break;
          case platform::LockResult::HeldElsewhere: running = true; break;
          case platform::LockResult::Failed: throw HandledError(error_number::kPathFileAccess, lock.failure());
        }
      },
      ErrorHandler::BoxAndCount);
  return running;
}

void setAdminIsRunningFlag(Program& program, bool flag) {
  if (!regKeyExists(program, kHkeyLocalMachine, kAdminRegistryKey))
    regCreateKey(program, kHkeyLocalMachine, kAdminRegistryKey);
  platform::RegValue value;
  value.type = platform::RegType::Dword;
  value.number = flag ? 1 : 0;
  regSetValue(program, kHkeyLocalMachine, kAdminRegistryKey, kAdminRunningValue, kRegDword, value);
}

bool getAdminIsRunningFlag(Program& program) {
  platform::RegValue fallback;
  fallback.type = platform::RegType::Dword;
  fallback.number = 0;
  return regQueryValue(program, kHkeyLocalMachine, kAdminRegistryKey, kAdminRunningValue, kRegDword, fallback).number !=
         0;
}

void resetIdleDeadline(Program& program) { program.idleDeadline = program.host.now().addMinutes(30); }

}  // namespace travik
