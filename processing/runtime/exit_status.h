// Exit statuses of the programs.  The service manager records them and the
// README lists them for the operator: the same cause always ends with the
// same number, and only an orderly stop ends with 0, so that a unit's
// Restart=on-failure retries exactly the ends that are not an operator's
// stop.
#pragma once

namespace travik::exit_status {

inline constexpr int kOrderly = 0;            // stopped in order (operator, signal, console's exit menu)
inline constexpr int kFatal = 1;              // any other fatal error (no program folder, lock file unusable)
inline constexpr int kUsage = 2;              // a command line the program does not understand
inline constexpr int kAlreadyRunning = 3;     // another service already runs on this program folder
inline constexpr int kDatabaseUnusable = 4;   // vrndata.mdb missing, not a database, unreadable or without its tables
inline constexpr int kSchemaNotCurrent = 5;   // vrndata.mdb of a schema this program cannot bring up to date
inline constexpr int kHandledErrorLimit = 6;  // the handled-error limit was reached
inline constexpr int kDatabaseDamaged = 7;    // the database turned out corrupted during a run
inline constexpr int kNoDisplay = 8;          // the Qt programs: no display to show their windows on

}  // namespace travik::exit_status
