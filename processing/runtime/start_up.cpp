#include "processing/runtime/start_up.h"

#include <sys/stat.h>

#include <filesystem>

#include "processing/gateway/trace_level.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/console_interlock.h"
#include "processing/runtime/database_schema.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/event_log.h"

namespace travik {

namespace fs = std::filesystem;

void makeWritable(const fs::path& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0)
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
}

void main(Program& program) {
  constexpr const char* kProcedure = "main()";
  startEventLog(program);
  if (program.runningAsService) myEventLog(program, event_id::kServiceStarted, 1, "");

  bool present = true;
  guard(program, kProcedure, [&] {
    present = fs::is_regular_file(program.databasePath());
    if (present) makeWritable(program.databasePath());
  });
  if (!present) {
    if (!program.runningAsService)
      program.host.messageBox("Could not find the TRAVIK database (vrndata.mdb)", "Database not found",
                              MessageButtons::Ok, MessageIcon::Exclamation);
    myEventLog(program, event_id::kDatabaseMissing, 3, "");
    shutDownApplication(program);
  }
  guard(program, kProcedure, [&] { program.db.open(program.databasePath().string(), program.databaseBusyTimeoutMs); });
  if (program.db.isOpen() && !checkDatabaseSchema(program)) return;
  getApplicationParameter(program);
  const std::string logFile = GenerateNewLogFileName(program);
  openActivityLog(program, logFile);
  if (!program.gatewayNotInstalled) setMervaleTraceLevelVerbose(program);
}

void shutDownApplication(Program& program, int exitStatus) {
  if (!program.shuttingDown) {
    program.shuttingDown = true;
    // Rows written before the failure that ends the program are kept, as they
    // would have been with the original's row-by-row writes.
    guard(
        program, "shutDownApplication",
        [&] {
          if (program.db.inTransaction()) program.db.exec("COMMIT");
        },
        ErrorHandler::Silent);
    flushActivityLog(program);
    // From here on every error is ignored and the next step follows.
    auto ignoring = [&](auto&& step) { guard(program, "shutDownApplication", step, ErrorHandler::Silent); };
    // Handled errors raised by the steps below must not end the program again.
    const auto keepCount = program.handledErrorCount;
    if (program.db.isOpen()) {
      if (!program.runningAsService) {
        ignoring([&] { setApplicationParameter(program, parameter::kAdminRunning, "False"); });
      } else {
        ignoring([&] { setApplicationParameter(program, parameter::kServiceProcessing, "False"); });
      }
    }
    if (!program.runningAsService) ignoring([&] { setAdminIsRunningFlag(program, false); });
    ignoring([&] { closeRecordsets(program); });
    ignoring([&] { program.db.close(); });
    if (program.runningAsService) myEventLog(program, event_id::kServiceStopped, 1, "");
    stopEventLog(program);
    closeActivityLog(program);
    program.handledErrorCount = keepCount;
  }
  program.exitProcess(exitStatus);
  std::abort();  // exitProcess never returns
}

void countHandledError(Program& program) {
  ++program.handledErrorCount;
  if (program.handledErrorCount <= kMaximumHandledErrors || program.shuttingDown || program.endingAtErrorLimit) return;
  program.endingAtErrorLimit = true;
  program.statusMessage =
      "Exceeded maximum number of handled errors.  Application exiting.  Please restart the application.";
  if (!program.runningAsService)
    program.host.messageBox(program.statusMessage, kApplicationTitle, MessageButtons::Ok, MessageIcon::None);
  myEventLog(program, event_id::kTooManyHandledErrors, 3, "");
  writeLog(program, program.statusMessage, true);
  shutDownApplication(program);
}

void closeRecordsets(Program& program) {
  guard(
      program, "closeRecordsets",
      [&] {
        if (program.closeSharedRecordsets) program.closeSharedRecordsets();
      },
      ErrorHandler::Silent);
}

}  // namespace travik
