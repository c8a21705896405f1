#include "processing/runtime/console_interlock.h"

#include "processing/runtime/activity_log.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/event_log.h"
#include "processing/runtime/read_only_mode.h"
#include "processing/runtime/registry_api.h"
#include "processing/runtime/start_up.h"

namespace travik {

std::filesystem::path consoleLockFile(const std::filesystem::path& programFolder) {
  return platform::consoleLockFile(programFolder);
}

ConsoleAtStart travikAdminIsRunning(Program& program, platform::InstanceLock& lock) {
  ConsoleAtStart found = ConsoleAtStart::GoesOn;
  // No activity log is open yet, so the report is the box alone.
  guard(
      program, "travikAdminIsRunning()",
      [&] {
        switch (lock.tryAcquire()) {
          case platform::LockResult::Taken: sayLockReplaced(program, lock); break;
          case platform::LockResult::HeldElsewhere:
            // A holder that owns the file is obeyed, but not in silence.
            if (!lock.failure().empty()) program.standardError(lock.failure());
            found = ConsoleAtStart::Running;
            break;
          case platform::LockResult::NotPermitted:
            enterReadOnlyMode(program, "TRAVIK admin cannot take its lock (" + lock.failure() +
                                           "), so it only reads the database " + program.databasePath().string() + ".");
            break;
          case platform::LockResult::Failed: throw HandledError(error_number::kPathFileAccess, lock.failure());
          case platform::LockResult::Blocked:
            // A second console could take no lock either: none may start.
            program.standardError(lock.failure());
            program.host.messageBox("TRAVIK admin cannot start: " + lock.failure() + ", then start TRAVIK admin again.",
                                    kApplicationTitle, MessageButtons::Ok, MessageIcon::Exclamation);
            found = ConsoleAtStart::Blocked;
            break;
        }
      },
      ErrorHandler::BoxAndCount);
  return found;
}

bool adminRunningMarkHolds(Program& program) {
  if (!program.settings.adminRunning) {
    program.staleAdminMarkReported = false;
    return false;
  }
  bool held = true;
  try {
    held = platform::InstanceLock::isHeld(consoleLockFile(program.programFolder));
  } catch (const std::system_error&) {
    // A lock that cannot be asked: the mark is trusted, as it always was.
  }
  if (held) {
    program.staleAdminMarkReported = false;
    return true;
  }
  if (!program.staleAdminMarkReported) {
    program.staleAdminMarkReported = true;
    writeLog(program,
             "ADMINRUNNING reads \"True\" but no TRAVIK Administration application holds its lock on " +
                 program.programFolder.string() + "; the mark is stale and automatic processing goes ahead.",
             true);
  }
  return false;
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
