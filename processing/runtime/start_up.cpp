#include "processing/runtime/start_up.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

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

namespace {

// Opens the database for writing; one that cannot be written is opened for
// reading where it can be, and the failure to open it for writing returned.
std::optional<db::DbError> openWritingElseReading(Program& program) {
  const std::string file = program.databasePath().string();
  try {
    program.db.open(file, program.databaseBusyTimeoutMs);
    return std::nullopt;
  } catch (const db::DbError& failure) {
    if (!failure.readOnly()) throw;
    try {
      program.db.open(file, program.databaseBusyTimeoutMs, db::Connection::Access::Read);
    } catch (const db::DbError&) {
      // Not even readable: the failure to write is still the one to report.
    }
    return failure;
  }
}

}  // namespace

void reopenProgramDatabase(Program& program) {
  if (const std::optional<db::DbError> cannotWrite = openWritingElseReading(program)) throw *cannotWrite;
}

std::optional<std::string> openProgramDatabase(Program& program) {
  const fs::path file = program.databasePath();
  std::error_code error;
  if (!fs::exists(file, error))
    return file.string() + ": " + (error ? error.message() : std::string("No such file or directory"));
  if (!fs::is_regular_file(file, error)) return file.string() + ": not a regular file";
  try {
    makeWritable(file);
  } catch (const fs::filesystem_error&) {
    // A file that stays read-only is reported by the first write.
  }
  try {
    if (const std::optional<db::DbError> cannotWrite = openWritingElseReading(program); !program.db.isOpen())
      throw *cannotWrite;
    // Reading the parameters proves the file a database of this program: a
    // file of another kind, an empty one or one without its tables fails here.
    program.db.prepare("select property, value from applicationparameters").step();
  } catch (const db::DbError& failure) {
    program.db.close();
    return file.string() + ": " + reasonWithoutFile(failure.what(), file);
  }
  return std::nullopt;
}

std::string databaseOpenToOthers(const fs::path& database) {
  std::string modes, files;
  for (const char* suffix : {"", "-wal", "-shm"}) {
    const std::string file = database.string() + suffix;
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0 || (info.st_mode & S_IRWXO) == 0) continue;
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    modes += (modes.empty() ? "" : ", ") + file + " has mode " + mode;
    files += " " + file;
  }
  if (modes.empty()) return modes;
  return "The TRAVIK database grants accounts outside its owner and group access (" + modes +
         "): any such account may read every call and lock the database to stall processing.  Take that access "
         "away (this program leaves the mode as it is): chmod o-rwx" +
         files;
}

std::string reasonWithoutFile(std::string reason, const fs::path& file) {
  const std::string suffix = ": " + file.string();
  if (reason.size() > suffix.size() && reason.compare(reason.size() - suffix.size(), suffix.size(), suffix) == 0)
    reason.resize(reason.size() - suffix.size());
  return reason;
}

void shutDownApplication(Program& program, int exitStatus) {
  if (!program.shuttingDown) {
    program.shuttingDown = true;
    program.exitStatus = exitStatus;
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
    // A run stopped while it had the database closed, or only reading after
    // a read-only spell, would leave its mark "True" in a database that can
    // still be written: it is opened for writing again to clear the mark.
    if (program.processingLogs && !program.databaseReadOnly && (!program.db.isOpen() || program.db.readOnly()))
      ignoring([&] { reopenProgramDatabase(program); });
    if (program.db.isOpen()) {
      if (!program.runningAsService) {
        ignoring([&] { setApplicationParameter(program, parameter::kAdminRunning, "False"); });
      } else {
        ignoring([&] { setApplicationParameter(program, parameter::kServiceProcessing, "False"); });
      }
    }
    // A console that only reads its database has set no mark of its own.
    if (!program.runningAsService && !program.databaseReadOnly)
      ignoring([&] { setAdminIsRunningFlag(program, false); });
    ignoring([&] { closeRecordsets(program); });
    ignoring([&] { program.db.close(); });
    if (program.runningAsService) myEventLog(program, event_id::kServiceStopped, 1, "");
    stopEventLog(program);
    closeActivityLog(program);
    program.handledErrorCount = keepCount;
  }
  program.exitProcess(program.exitStatus);
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
  shutDownApplication(program, exit_status::kHandledErrorLimit);
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
