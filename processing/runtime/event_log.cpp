#include "processing/runtime/event_log.h"

#include "processing/runtime/error_handling.h"

namespace travik {

std::string eventMessageText(int eventId) {
  switch (eventId) {
    case 1: return "The TRAVIK service has started.";
    case 2: return "The TRAVIK service has stopped.";
    case 4: return "The TRAVIK service met an error in a processing cycle.";
    case 6: return "An Octel node has reached the warning threshold of communication errors.";
    case 7: return "An Octel node has reached the error threshold of communication errors.";
    case 16: return "No trace log file is newer than the stored call data; nothing was processed.";
    case 17: return "The TRAVIK output folder does not exist.";
    case 18: return "Exceeded maximum number of handled errors.  Application exiting.";
    case 19: return "Could not find the TRAVIK database (vrndata.mdb).";
    case 20: return "The Varnel server's analog call tracing level was too low and has been raised to Verbose.";
    case 21: return "The Varnel server's analog call tracing level could not be raised to Verbose.";
    case 22: return "The Varnel server's analog call tracing level is now Verbose.";
    default: return "";
  }
}

void startEventLog(Program& program) {
  guard(program, "startEventLog of Module modLogging", [&] {
    program.eventSource = program.runningAsService ? "TRAVIK Service" : "TRAVIK Admin";
    program.eventSink.registerSource(program.eventSource);
  });
}

void stopEventLog(Program& program) {
  guard(
      program, "stopEventLog", [&] { program.eventSink.releaseSource(); }, ErrorHandler::Silent);
}

void myEventLog(Program& program, int eventId, int kind, std::string_view message) {
  if (kind < 1 || kind > 3) return;
  guard(program, "myEventLog of Module modLogging", [&] {
    if (program.eventSource.empty()) program.eventSource = program.runningAsService ? "TRAVIK Service" : "TRAVIK Admin";
    program.eventSink.write(program.eventSource, static_cast<platform::EventKind>(kind), eventId,
                            eventMessageText(eventId), std::string(message));
  });
}

void sayLockReplaced(Program& program, const platform::InstanceLock& lock) {
  if (lock.notice().empty()) return;
  program.standardError(lock.notice());
  myEventLog(program, event_id::kServiceTimerError, 2, lock.notice());
}

}  // namespace travik
