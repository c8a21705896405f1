#include "processing/runtime/error_handling.h"

#include "processing/runtime/activity_log.h"
#include "processing/runtime/event_log.h"
#include "processing/runtime/start_up.h"

namespace travik {

void handleError(Program& program, const HandledError& error, std::string_view procedure, ErrorHandler handler) {
  // A wait that gave way to a stop request ends the console here, unreported.
  if (error.number() == error_number::kDatabaseLocked) {
    program.databaseLocked = true;
    program.host.honourStopAfterDatabaseWait();
  }
  if (handler == ErrorHandler::Silent) return;
  const std::string line = errorReportLine(error, procedure);
  program.lastErrorLine = line;
  const bool box = handler == ErrorHandler::Standard || handler == ErrorHandler::BoxAndCount;
  if (box && !program.runningAsService)
    program.host.messageBox(line, kApplicationTitle, MessageButtons::Ok, MessageIcon::None);
  // A failing program database is no passing hitch of one step: the service
  // names it where an operator looks (the event log, the journal) and not
  // only in the activity log.  Contention with the console is not such a failure.
  const bool databaseFailure = isDatabaseError(error) && error.number() != error_number::kDatabaseLocked;
  if (handler == ErrorHandler::ServiceTimer || (databaseFailure && program.runningAsService))
    myEventLog(program, event_id::kServiceTimerError, 3, line);
  if (databaseFailure && program.runningAsService) program.standardError(line);
  if (databaseUnwritable(error)) program.databaseUnwritable = true;
  if (handler == ErrorHandler::Standard || handler == ErrorHandler::LogAndCount ||
      handler == ErrorHandler::ServiceTimer)
    writeLog(program, line, true);
  countHandledError(program);
  // A damaged database would fail every step of every run: the service ends
  // (non-zero, so its unit shows it failed) rather than run on in silence.
  if (databaseDamaged(error) && program.runningAsService && !program.shuttingDown)
    shutDownApplication(program, exit_status::kDatabaseDamaged);
}

}  // namespace travik
