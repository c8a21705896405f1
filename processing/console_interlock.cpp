#include "processing/console_interlock.h"

#include "platform/instance_lock.h"
#include "processing/error_handling.h"
#include "processing/registry_api.h"

namespace travik {

std::filesystem::path consoleLockFile(const std::filesystem::path& programFolder) {
  return programFolder / "TRAVIKadmin.lock";
}

bool travikAdminIsRunning(Program& program) {
  bool running = false;
  guard(program, "travikAdminIsRunning()",
        [&] { running = platform::InstanceLock::isHeld(consoleLockFile(program.programFolder)); });
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
