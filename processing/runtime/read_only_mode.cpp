#include "processing/runtime/read_only_mode.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>

#include "processing/runtime/database_schema.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/start_up.h"

namespace travik {

namespace fs = std::filesystem;

namespace {

constexpr const char* kTitle = "Database not writable";

// Why the database may not be written, after a write was refused: the file
// or its folder as the system says it, else SQLite's reason.
std::string refusalReason(const Program& program, const db::DbError& refused) {
  const fs::path file = program.databasePath();
  if (::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0) return std::strerror(errno);
  const fs::path folder = file.parent_path();
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
    return "its folder " + folder.string() + ": " + std::strerror(errno);
  return reasonWithoutFile(refused.what(), file);
}

// A write that changes nothing and is rolled back: the first page rewritten
// as it is, which takes the journal or the write-ahead log.  A database that
// another program holds is writable; the probe does not wait for it.
std::optional<std::string> whyUnwritable(Program& program) {
  db::Connection& db = program.db;
  std::optional<std::string> reason;
  db.setBusyTimeout(0);
  try {
    db::Transaction transaction(db);
    // A pragma takes no bound value; the number is the database's own.
    db.exec("PRAGMA user_version = " + std::to_string(schema::userVersion(db)));
    transaction.rollback();
  } catch (const db::DbError& error) {
    if (schema::cannotWrite(error)) reason = refusalReason(program, error);
  }
  db.setBusyTimeout(program.databaseBusyTimeoutMs);
  return reason;
}

std::string readOnlyText(const Program& program) {
  const std::string database = program.databasePath().string();
  if (program.databaseReadOnlyReason.empty())
    return "The TRAVIK database " + database +
           " is of an older version that this program may not write, so it was not brought up to date.  The "
           "grids show it as stored; processing, settings and the purge are not available.  Start TRAVIK admin as "
           "an account that may write the database and its folder, or let the service bring it up to date.";
  return program.databaseReadOnlyReason +
         "  The grids show it as stored; processing, settings and the purge are not available.  Start TRAVIK "
         "admin as an account that may write the database and its folder.";
}

void refuseWrites(Program& program) {
  if (program.db.isOpen()) guard(program, "enterReadOnlyMode", [&] { program.db.exec("PRAGMA query_only = 1"); });
}

// Byte 19 of the header, the format's read version, is 2 in WAL mode.
bool inWriteAheadLogMode(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  char header[20] = {};
  return in.read(header, sizeof header) && header[19] == 2;
}

// SQLite reads a database in WAL mode only with its -wal and -shm files,
// which a program that opens it creates beside it and the last to close it
// removes.  Opened as immutable it would read without them, but with no lock
// either: once a service writes, its checkpoints change pages under the reader.
std::optional<std::string> whyUnreadableWithoutItsLog(const Program& program) {
  const fs::path file = program.databasePath();
  if (!inWriteAheadLogMode(file)) return std::nullopt;
  const fs::path folder = file.parent_path();
  for (const char* suffix : {"-wal", "-shm"}) {
    const std::string companion = file.filename().string() + suffix;
    if (::faccessat(AT_FDCWD, (folder / companion).c_str(), R_OK, AT_EACCESS) == 0) continue;
    if (const int error = errno; error != ENOENT)
      return companion + " cannot be read (" + std::strerror(error) +
             ").\n\nStart TRAVIK admin as an account that may read it.";
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0) continue;
    const int error = errno;
    return companion + " is missing and cannot be created, as its folder " + folder.string() + " cannot be written (" +
           std::strerror(error) + ").\n\n" +
           (error == EROFS ? "Start TRAVIK admin again once that file system can be written."
                           : "Start the TRAVIK service first, then TRAVIK admin again: while the service runs, this "
                             "account may read the database.  Or start TRAVIK admin as an account that may write "
                             "the database and its folder.");
  }
  return std::nullopt;
}

}  // namespace

bool refuseDatabaseUnreadableWithoutItsLog(Program& program) {
  const std::optional<std::string> why = whyUnreadableWithoutItsLog(program);
  if (!why) return false;
  const std::string file = program.databasePath().filename().string();
  const std::string text = "The TRAVIK database " + program.databasePath().string() +
                           " cannot be read now: it is in write-ahead-log mode, which SQLite reads only with the "
                           "files " +
                           file + "-wal and " + file + "-shm beside it, and " + *why;
  program.standardError(text);
  program.host.messageBox(text, "Database cannot be read", MessageButtons::Ok, MessageIcon::Exclamation);
  return true;
}

void enterReadOnlyMode(Program& program, std::string reason) {
  program.databaseReadOnly = true;
  program.databaseReadOnlyReason = std::move(reason);
  refuseWrites(program);
}

void enterReadOnlyModeWhereUnwritable(Program& program) {
  if (program.databaseReadOnly) {
    refuseWrites(program);
    return;
  }
  if (const std::optional<std::string> reason = whyUnwritable(program))
    enterReadOnlyMode(program, "The TRAVIK database " + program.databasePath().string() + " cannot be written (" +
                                   *reason + "), so TRAVIK admin only reads it.");
}

void announceReadOnlyMode(Program& program) {
  if (!program.databaseReadOnly || program.databaseReadOnlyReason.empty()) return;
  const std::string text = readOnlyText(program);
  program.standardError(text);
  program.host.messageBox(text, kTitle, MessageButtons::Ok, MessageIcon::Exclamation);
}

bool refuseWhileDatabaseReadOnly(Program& program) {
  if (!program.databaseReadOnly) return false;
  program.host.messageBox(readOnlyText(program),
                          program.databaseReadOnlyReason.empty() ? "Database not current" : kTitle, MessageButtons::Ok,
                          MessageIcon::Exclamation);
  return true;
}

}  // namespace travik
