// Opening the database, the orderly exit and the count of handled errors.
//
// Both programs start the processing code through main() (run/program_start)
// once, after setting runningAsService, gatewayNotInstalled and
// handledErrorCount; every exit path of both programs ends in
// shutDownApplication(), which runs once.
#pragma once

#include <optional>
#include <string>

#include "processing/runtime/exit_status.h"
#include "processing/runtime/program.h"

namespace travik {

// The program's default message-box title.
inline constexpr const char* kApplicationTitle = "TRAVIK";
inline constexpr int kMaximumHandledErrors = 50;

// Opens vrndata.mdb and reads it as this program's database.  On failure the
// connection is closed and the result names the file and SQLite's reason.
// A file it may not write is opened for reading (the first write reports it).
std::optional<std::string> openProgramDatabase(Program& program);
// The database and its -wal and -shm files that grant accounts outside their
// owner and group any access, each with its mode, in a text that says how to
// take that access away; empty when none does.  No mode is changed: the
// operator set it.
std::string databaseOpenToOthers(const std::filesystem::path& database);
// SQLite's reason without the file name it ends with, for a text that names the file itself.
std::string reasonWithoutFile(std::string reason, const std::filesystem::path& file);
// Opens vrndata.mdb again, for writing, as every processing run does: a
// connection left only reading by a spell in which the file could not be
// written writes again once it can.  While it cannot, the database is opened
// for reading (the settings still load) and the failure to write is thrown.
void reopenProgramDatabase(Program& program);
// Flushes, resets the interlock flags, closes everything and ends the program
// with exitStatus (exit_status.h), the status of the cause that ends it.
[[noreturn]] void shutDownApplication(Program& program, int exitStatus);
// Adds one handled error; the 51st ends the program.
void countHandledError(Program& program);
// Drops the statements the call reconstruction keeps open across a run.
void closeRecordsets(Program& program);
// Clears a read-only mode on the database file, keeping the other bits.
void makeWritable(const std::filesystem::path& file);

}  // namespace travik
