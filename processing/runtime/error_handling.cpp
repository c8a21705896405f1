#include "processing/runtime/error_handling.h"

#include "processing/runtime/activity_log.h"
#include "processing/runtime/event_log.h"
#include "processing/runtime/start_up.h"

namespace travik {

void handleError(Program& program, const HandledError& error, std::string_view procedure, ErrorHandler handler) {
  if (handler == ErrorHandler::Silent) return;
  const std::string line = errorReportLine(error, procedure);
  const bool box = handler == ErrorHandler::Standard || handler == ErrorHandler::BoxAndCount;
  if (box && !program.runningAsService)
    program.host.messageBox(line, kApplicationTitle, MessageButtons::Ok, MessageIcon::None);
  if (handler == ErrorHandler::ServiceTimer) myEventLog(program, 4, 3, line);
  if (handler == ErrorHandler::Standard || handler == ErrorHandler::LogAndCount ||
      handler == ErrorHandler::ServiceTimer)
    writeLog(program, line, true);
  countHandledError(program);
}

}  // namespace travik
