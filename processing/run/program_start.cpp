#include "processing/run/program_start.h"

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "processing/gateway/trace_level.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/database_schema.h"
#include "processing/runtime/event_log.h"
#include "processing/runtime/exit_status.h"
#include "processing/runtime/read_only_mode.h"
#include "processing/runtime/start_up.h"

namespace travik {

namespace fs = std::filesystem;

void main(Program& program) {
  startEventLog(program);
  if (program.runningAsService) myEventLog(program, event_id::kServiceStarted, 1, "");

  std::error_code error;
  const bool present = fs::exists(program.databasePath(), error);
  if (const std::optional<std::string> failure = openProgramDatabase(program)) {
    // A stop requested while the database was held by another process is an
    // orderly stop, not an unusable database.
    program.host.honourStop();
    if (!program.runningAsService) {
      if (!present)
        program.host.messageBox("Could not find the TRAVIK database (vrndata.mdb)", "Database not found",
                                MessageButtons::Ok, MessageIcon::Exclamation);
      else if (!refuseDatabaseUnreadableWithoutItsLog(program))
        program.host.messageBox("Could not use the TRAVIK database " + *failure, "Database not usable",
                                MessageButtons::Ok, MessageIcon::Exclamation);
    }
    // The entry names the file and the reason: an unusable database must not
    // read as a missing one, nor as anything else.
    myEventLog(program, event_id::kDatabaseMissing, 3, *failure);
    program.standardError("cannot use the database " + *failure);
    shutDownApplication(program, exit_status::kDatabaseUnusable);
  }
  // Said once, on standard error and as event 4 (the entry that carries a
  // problem's own text); the mode is the operator's and is left as it is.
  if (const std::string openToOthers = databaseOpenToOthers(program.databasePath()); !openToOthers.empty()) {
    program.standardError(openToOthers);
    myEventLog(program, event_id::kServiceTimerError, 3, openToOthers);
  }
  // A console that may not write the database, or may not take its lock,
  // only reads it from here on: the schema's upgrade included.
  if (!program.runningAsService) enterReadOnlyModeWhereUnwritable(program);
  const std::optional<schema::UpgradeResult> schemaChecked = checkDatabaseSchema(program);
  if (!schemaChecked) return;
  if (!program.runningAsService) announceReadOnlyMode(program);
  getApplicationParameter(program);
  const std::string logFile = GenerateNewLogFileName(program);
  openActivityLog(program, logFile);
  if (schemaChecked->outcome == schema::Upgrade::Upgraded)
    writeLog(program, schema::upgradeText(program.databasePath().string(), *schemaChecked), true);
  if (!program.gatewayNotInstalled) setMervaleTraceLevelVerbose(program);
}

}  // namespace travik
