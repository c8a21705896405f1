// The version of vrndata.mdb's schema, and the steps that bring an older
// database up to date.
//
// The tables the system reads and writes come with the delivered database
// and are never altered.  What this program adds beyond them (its own tables
// and the indexes) is listed here, one step per schema version, and in
// data/schema.sql for a new database; no other module creates a table.  The
// database carries its version in PRAGMA user_version: 0 is a database from
// before versions were kept.  At start, right after the database is opened
// and before any other use, the steps it lacks run in order in one
// transaction, so a database is either brought up whole or left as it was.
//
// Adding to the schema: append one step to the list that steps() returns
// (in the .cpp) and make the same change in data/schema.sql with its
// user_version raised to the new step's version; a test compares the two.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/db.h"

namespace travik {

class Program;

namespace schema {

// One step: brings a database of version `version - 1` to `version`.  Runs
// inside the transaction of the whole upgrade; it must hold for any database
// of the version before it, including one a program of that time had
// already partly extended (hence "if not exists").
struct Step {
  int version;
  std::function<void(db::Connection&)> apply;
};

// The steps of this program, in order: step n brings version n - 1 to n.
const std::vector<Step>& steps();

// The version the last step gives; what a database made from
// data/schema.sql carries.
int latestVersion(const std::vector<Step>& list = steps());

int userVersion(db::Connection& connection);

enum class Upgrade {
  Current,        // already of the latest version
  Upgraded,       // brought up from an older version
  OlderReadOnly,  // older, and this program cannot write it: left as it was
  Newer,          // of a version this program does not know: left as it was
};

struct UpgradeResult {
  Upgrade outcome;
  int found;  // the database's version when opened
  int known;  // the latest version this program knows
};

// Brings the database up to the latest version of `list`, all steps in one
// write transaction.  Throws db::DbError for a failure other than a database
// this program cannot write (a locked, damaged or unusable database).
UpgradeResult bringUpToDate(db::Connection& connection, const std::vector<Step>& list = steps());

// What an operator reads when the database is refused: its path and both
// versions.  Empty for Current and Upgraded.
std::string refusalText(const std::string& databasePath, const UpgradeResult& result);

// The failure says that this program may not write the database: its file,
// its folder or its file system refuse it.
bool cannotWrite(const db::DbError& error);

// What the activity log and the service's standard error say of an upgrade:
// the file and both versions.
std::string upgradeText(const std::string& databasePath, const UpgradeResult& result);

}  // namespace schema

// The start's check of the opened database (called once, by main(), right
// after the database is opened).  An older database is brought up to date.
// One that cannot be: the service writes the refusal to standard error and
// ends with exit_status::kSchemaNotCurrent; the console shows it, and then
// either ends (a newer database) or goes on with the database only read
// (read_only_mode.h).  The service notes an upgrade on standard
// error; the caller notes it in the activity log once that is open.  Nothing
// when the program is ending.
std::optional<schema::UpgradeResult> checkDatabaseSchema(Program& program);

}  // namespace travik
