#include "processing/runtime/database_schema.h"

#include "processing/runtime/error_handling.h"
#include "processing/runtime/exit_status.h"
#include "processing/runtime/program.h"
#include "processing/runtime/read_only_mode.h"
#include "processing/runtime/start_up.h"

namespace travik {
namespace schema {

namespace {

bool hasColumn(db::Connection& connection, std::string_view table, std::string_view column) {
  db::Statement columns = connection.prepare("select 1 from pragma_table_info(?1) where name = ?2 collate nocase");
  columns.bind(1, table).bind(2, column);
  return columns.step();
}

// Version 1: everything this program adds to the delivered tables, for a
// database from before versions were kept.  Such a database may already hold
// some of it: programs of that time created their tables when first needed.
void addOwnTablesAndIndexes(db::Connection& connection) {
  connection.exec(R"sql(
    CREATE INDEX IF NOT EXISTS EventsByTime ON Events (Timestamp, Milliseconds, Sequence);
    CREATE INDEX IF NOT EXISTS EventsByLine ON Events (Line, Timestamp, Milliseconds, Sequence, Data);
    CREATE INDEX IF NOT EXISTS callsByLine ON calls (line, timestampbegin);
    CREATE INDEX IF NOT EXISTS callsByBegin ON calls (timestampbegin);
    CREATE INDEX IF NOT EXISTS callsById ON calls (callid);
    CREATE INDEX IF NOT EXISTS callsOpen ON calls (timestampend) WHERE timestampend IS NULL;
    CREATE INDEX IF NOT EXISTS callsByNode ON calls (octelserialnumber);
    CREATE INDEX IF NOT EXISTS tasksByCall ON tasks (callid, taskid);
    CREATE INDEX IF NOT EXISTS recipientsByCall ON recipients (callid, taskid);
    CREATE INDEX IF NOT EXISTS recipientsByTask ON recipients (taskid, recipient);
    CREATE INDEX IF NOT EXISTS errorsByCall ON errors (callid);
    CREATE INDEX IF NOT EXISTS errorsByTime ON errors (timestamperror);
    CREATE TABLE IF NOT EXISTS tracereadpositions (
      path                  TEXT PRIMARY KEY,
      head                  BLOB,
      position              INTEGER NOT NULL,
      modified              TEXT,
      sequence              INTEGER,
      storedtimestamp       TEXT,
      storedmilliseconds    INTEGER,
      lasttimestamp         TEXT,
      lastmilliseconds      INTEGER,
      lastmillisecondevents TEXT,
      steppedback           INTEGER NOT NULL DEFAULT 0
    );
    CREATE TABLE IF NOT EXISTS summarydue (
      id    INTEGER PRIMARY KEY CHECK (id = 1),
      stage TEXT NOT NULL CHECK (stage IN ('totals', 'reports'))
    );
    CREATE TABLE IF NOT EXISTS linewalk (
      line                INTEGER PRIMARY KEY,
      restarttimestamp    TEXT,
      restartmilliseconds INTEGER,
      restartsequence     INTEGER,
      restartevent        INTEGER,
      walkedtimestamp     TEXT NOT NULL,
      walkedmilliseconds  INTEGER NOT NULL,
      walkedsequence      INTEGER NOT NULL,
      walkedevent         INTEGER NOT NULL
    );
  )sql");
  // The read positions of the first programs that kept them lack this column.
  if (!hasColumn(connection, "tracereadpositions", "steppedback"))
    connection.exec("ALTER TABLE tracereadpositions ADD COLUMN steppedback INTEGER NOT NULL DEFAULT 0");
}

// Version 2: a cut last line waits until its file stops growing (the size
// seen by an earlier run), and events stored behind a line's walked mark are
// noted so that the walk takes them in their place.
void addLateArrivals(db::Connection& connection) {
  if (!hasColumn(connection, "tracereadpositions", "seensize"))
    connection.exec("ALTER TABLE tracereadpositions ADD COLUMN seensize INTEGER");
  connection.exec(R"sql(
    CREATE TABLE IF NOT EXISTS linearrivals (
      line         INTEGER PRIMARY KEY,
      timestamp    TEXT NOT NULL,
      milliseconds INTEGER NOT NULL,
      sequence     INTEGER NOT NULL
    );
  )sql");
}

}  // namespace

bool cannotWrite(const db::DbError& error) {
  const int primary = error.sqliteCode() & 0xff;
  return primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN || primary == SQLITE_PERM;
}

const std::vector<Step>& steps() {
  static const std::vector<Step> list{
      {1, addOwnTablesAndIndexes},
      {2, addLateArrivals},
  };
  return list;
}

int latestVersion(const std::vector<Step>& list) { return list.empty() ? 0 : list.back().version; }

int userVersion(db::Connection& connection) {
  db::Statement version = connection.prepare("PRAGMA user_version");
  return version.step() ? static_cast<int>(version.getInt(0)) : 0;
}

UpgradeResult bringUpToDate(db::Connection& connection, const std::vector<Step>& list) {
  UpgradeResult result{Upgrade::Current, userVersion(connection), latestVersion(list)};
  if (result.found == result.known) return result;
  if (result.found > result.known) {
    result.outcome = Upgrade::Newer;
    return result;
  }
  result.outcome = Upgrade::OlderReadOnly;
  if (sqlite3_db_readonly(connection.handle(), "main") == 1) return result;
  try {
    db::Transaction transaction(connection);
    // Read again under the write lock: another program starting at the same
    // moment may have brought the database up while this one waited.
    const int from = userVersion(connection);
    if (from >= result.known) {
      result.found = from;
      result.outcome = from == result.known ? Upgrade::Current : Upgrade::Newer;
      return result;
    }
    for (const Step& step : list)
      if (step.version > from) step.apply(connection);
    // A pragma takes no bound value; the number is this program's own.
    connection.exec("PRAGMA user_version = " + std::to_string(result.known));
    transaction.commit();
  } catch (const db::DbError& error) {
    if (cannotWrite(error)) return result;
    throw;
  }
  result.outcome = Upgrade::Upgraded;
  return result;
}

std::string refusalText(const std::string& databasePath, const UpgradeResult& result) {
  const std::string versions = " is of schema version " + std::to_string(result.found) +
                               "; this program knows versions up to " + std::to_string(result.known) + ".";
  switch (result.outcome) {
    case Upgrade::OlderReadOnly:
      return "The TRAVIK database " + databasePath + versions +
             "  It cannot be brought up to date: this program may not write it.  Let the service's account write "
             "the database and its folder (or start TRAVIK as an account that may), or install TRAVIK again.";
    case Upgrade::Newer:
      return "The TRAVIK database " + databasePath + versions +
             "  It was made by a newer TRAVIK and is left as it is.  Install that version (or a newer one).";
    case Upgrade::Current:
    case Upgrade::Upgraded: break;
  }
  return {};
}

std::string upgradeText(const std::string& databasePath, const UpgradeResult& result) {
  return "The TRAVIK database " + databasePath + " was brought up to date from schema version " +
         std::to_string(result.found) + " to " + std::to_string(result.known) + ".";
}

}  // namespace schema

std::optional<schema::UpgradeResult> checkDatabaseSchema(Program& program) {
  schema::UpgradeResult result{schema::Upgrade::Current, 0, 0};
  // A database that cannot be read or is locked past the timeout is reported
  // like every failing step of the start, which then goes on.
  if (!guard(program, "main()", [&] { result = schema::bringUpToDate(program.db); })) return result;
  if (result.outcome == schema::Upgrade::Upgraded && program.runningAsService)
    program.standardError(upgradeText(program.databasePath().string(), result));
  if (result.outcome == schema::Upgrade::Current || result.outcome == schema::Upgrade::Upgraded) return result;
  const std::string text = refusalText(program.databasePath().string(), result);
  program.statusMessage = text;
  if (program.runningAsService) {
    program.standardError(text);
  } else {
    program.host.messageBox(text, "Database not current", MessageButtons::Ok, MessageIcon::Exclamation);
    if (result.outcome == schema::Upgrade::OlderReadOnly) {
      enterReadOnlyMode(program, "");
      return result;
    }
  }
  // Nothing is written to a database that is refused.
  program.db.close();
  shutDownApplication(program, exit_status::kSchemaNotCurrent);
  return std::nullopt;
}

}  // namespace travik
