// Schema versions: the steps bring every earlier delivered database to what
// data/schema.sql delivers today, all or nothing; a database this program
// cannot write or does not know is left as it is, and the programs say so.
#include "processing/runtime/database_schema.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "processing/run/program_start.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/call_counters.h"
#include "processing/runtime/exit_status.h"
#include "processing/runtime/handled_error.h"
#include "processing/runtime/read_only_mode.h"
#include "processing/runtime/start_up.h"
#include "tests/support/child_process.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

const fs::path kEarlierSchemas = fs::path(TRAVIK_SOURCE_DIR) / "tests" / "support" / "earlier_schemas";
const fs::path kDeliveredSchema = fs::path(TRAVIK_SOURCE_DIR) / "data" / "schema.sql";
const char* const kEarlierCommits[] = {"72494a6", "4134bb2"};

// Lower case, every run of white space one blank.
std::string collapsed(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isspace(byte)) {
      if (out.empty() || out.back() != ' ') out += ' ';
    } else {
      out += static_cast<char>(std::tolower(byte));
    }
  }
  return out;
}

// Everything about a schema that a program relies on, as comparable text:
// every table's columns (name, type, not null, default, key), every index's
// definition, and the version.
Texts describe(db::Connection& db) {
  Texts lines{"user_version " + std::to_string(schema::userVersion(db))};
  auto objects =
      db.prepare("select type, name, sql from sqlite_master where name not like 'sqlite_%' order by type, lower(name)");
  while (objects.step()) {
    const std::string type = objects.getText(0);
    const std::string name = objects.getText(1);
    if (type == "index") {
      lines.push_back("index " + collapsed(objects.getText(2)));
      continue;
    }
    auto columns = db.prepare("select name, type, \"notnull\", dflt_value, pk from pragma_table_info(?1)");
    columns.bind(1, name);
    while (columns.step())
      lines.push_back(type + " " + collapsed(name) + ": " + collapsed(columns.getText(0)) + " " +
                      collapsed(columns.getText(1)) + " notnull=" + columns.getText(2) +
                      " default=" + (columns.isNull(3) ? "none" : columns.getText(3)) + " pk=" + columns.getText(4));
  }
  return lines;
}

std::string readText(const fs::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Database {
  explicit Database(const fs::path& schemaFile) {
    test::createDatabaseFromSchema(schemaFile, file());
    open();
  }
  explicit Database(const std::string& schemaText) {
    db.create(file().string());
    db.exec(schemaText);
    db.close();
    open();
  }
  void open() { db.open(file().string()); }
  fs::path file() const { return temp.path() / "vrndata.mdb"; }
  Texts rows(const std::string& sql) {
    Texts all;
    auto query = db.prepare(sql);
    while (query.step()) {
      std::string row;
      for (int i = 0; i < query.columnCount(); ++i)
        row += (i ? "|" : "") + (query.isNull(i) ? "<null>" : query.getText(i));
      all.push_back(row);
    }
    return all;
  }
  test::TempFolder temp;
  db::Connection db;
};

Texts deliveredToday() {
  Database today(kDeliveredSchema);
  return describe(today.db);
}

TEST(DatabaseSchema, TheDeliveredSchemaCarriesTheLatestVersionAndIsLeftAlone) {
  Database today(kDeliveredSchema);
  EXPECT_EQ(schema::userVersion(today.db), schema::latestVersion());
  const auto result = schema::bringUpToDate(today.db);
  EXPECT_EQ(result.outcome, schema::Upgrade::Current);
  EXPECT_EQ(result.found, schema::latestVersion());
  // Every table this program writes is delivered; no module makes one.
  for (const char* table : {"tracereadpositions", "summarydue", "linewalk"})
    EXPECT_EQ(
        today.rows(std::string("select count(*) from sqlite_master where type = 'table' and name = '") + table + "'"),
        Texts{"1"})
        << table;
}

// The tables spell the per-call counters as the program's one list does, in
// its order and side by side, so the totals and the reports can take them
// from the list.
TEST(DatabaseSchema, EveryTableWithTheCallCountersHoldsThemAsTheListHasThem) {
  Database today(kDeliveredSchema);
  const Texts counters(kCallCounterNames.begin(), kCallCounterNames.end());
  for (const char* table : {"calls", "linesummary", "octelsummary"}) {
    const Texts columns = today.rows(std::string("select lower(name) from pragma_table_info('") + table + "')");
    const auto first = std::find(columns.begin(), columns.end(), counters.front());
    ASSERT_GE(columns.end() - first, static_cast<std::ptrdiff_t>(counters.size())) << table;
    EXPECT_EQ(Texts(first, first + static_cast<std::ptrdiff_t>(counters.size())), counters) << table;
  }
}

// The build tool takes a bare name, keeps a database of any version, refuses any other file naming it.
TEST(DatabaseSchema, MakeDatabaseMakesOnlyWhereNothingIsAndRefusesAFileThatIsNoDatabase) {
  const fs::path tool = fs::path(TRAVIK_BINARY_DIR) / "tools" / "make_database";
  if (!fs::exists(tool)) GTEST_SKIP() << "make_database is not built";
  test::TempFolder temp;
  test::createDatabaseFromSchema(kEarlierSchemas / "72494a6.sql", temp.path() / "old.mdb");
  test::writeFile(temp.path() / "empty.mdb", "");
  test::writeFile(temp.path() / "text.mdb", "vrndata\n");
  test::writeFile(temp.path() / "other.sql", "create table other (a);");
  test::createDatabaseFromSchema(temp.path() / "other.sql", temp.path() / "other.mdb");
  for (const auto& [name, status] : std::vector<std::pair<std::string, int>>{
           {"new.mdb", 0}, {"new.mdb", 0}, {"old.mdb", 0}, {"empty.mdb", 1}, {"text.mdb", 1}, {"other.mdb", 1}}) {
    const std::string before = readText(temp.path() / name);
    const fs::perms mode =
        fs::exists(temp.path() / name) ? fs::status(temp.path() / name).permissions() : static_cast<fs::perms>(0660);
    const mode_t mask = ::umask(022);  // the usual umask: a new database does not follow it, nor does one there change
    test::ChildProcess make;
    make.arguments = {tool.string(), kDeliveredSchema.string(), name};
    make.standardOutput = make.standardError = temp.path() / "said.txt";
    make.workingFolder = temp.path();
    EXPECT_EQ(test::runToEnd(make, std::chrono::seconds(30)).exitCode, status) << name;
    ::umask(mask);
    EXPECT_EQ(fs::status(temp.path() / name).permissions(), mode) << name;
    EXPECT_EQ(readText(temp.path() / "said.txt").find(name) != std::string::npos, status != 0) << name;
    EXPECT_TRUE(before.empty() || readText(temp.path() / name) == before) << name;
  }
}

TEST(DatabaseSchema, EveryEarlierDeliveredDatabaseIsBroughtToWhatIsDeliveredToday) {
  const Texts today = deliveredToday();
  for (const char* commit : kEarlierCommits) {
    SCOPED_TRACE(commit);
    Database earlier(kEarlierSchemas / (std::string(commit) + ".sql"));
    EXPECT_EQ(schema::userVersion(earlier.db), 0);
    EXPECT_NE(describe(earlier.db), today);
    const auto result = schema::bringUpToDate(earlier.db);
    EXPECT_EQ(result.outcome, schema::Upgrade::Upgraded);
    EXPECT_EQ(result.found, 0);
    EXPECT_EQ(result.known, schema::latestVersion());
    EXPECT_EQ(describe(earlier.db), today);
    EXPECT_EQ(schema::bringUpToDate(earlier.db).outcome, schema::Upgrade::Current);
  }
}

TEST(DatabaseSchema, ADatabaseThatEarlierProgramsExtendedWhenFirstNeededIsBroughtUpToo) {
  // The first programs that kept read positions made the table without its
  // last column; the line walk's table was made at the first walk.
  Database earlier(kEarlierSchemas / "72494a6.sql");
  earlier.db.exec(
      "create table tracereadpositions (path text primary key, head blob, position integer not null, modified text, "
      "sequence integer, storedtimestamp text, storedmilliseconds integer, lasttimestamp text, lastmilliseconds "
      "integer, lastmillisecondevents text);"
      "insert into tracereadpositions (path, position) values ('/traces/MVLOG.1', 42);"
      "create table linewalk (line integer primary key, restarttimestamp text, restartmilliseconds integer, "
      "restartsequence integer, restartevent integer, walkedtimestamp text not null, walkedmilliseconds integer not "
      "null, walkedsequence integer not null, walkedevent integer not null);"
      "create index if not exists errorsByTime on errors (timestamperror);");
  EXPECT_EQ(schema::bringUpToDate(earlier.db).outcome, schema::Upgrade::Upgraded);
  EXPECT_EQ(describe(earlier.db), deliveredToday());
  EXPECT_EQ(earlier.rows("select path, position, steppedback from tracereadpositions"), Texts{"/traces/MVLOG.1|42|0"});
}

TEST(DatabaseSchema, AnUpgradeThatFailsPartWayLeavesTheDatabaseAsItWas) {
  Database earlier(kEarlierSchemas / "72494a6.sql");
  const Texts before = describe(earlier.db);
  std::vector<schema::Step> steps = schema::steps();
  steps.push_back({schema::latestVersion() + 1, [](db::Connection& db) {
                     db.exec("create table halfway (x integer)");
                     db.exec("insert into nosuchtable values (1)");
                   }});
  EXPECT_THROW(schema::bringUpToDate(earlier.db, steps), db::DbError);
  EXPECT_FALSE(earlier.db.inTransaction());
  EXPECT_EQ(describe(earlier.db), before);
}

TEST(DatabaseSchema, ANewerDatabaseIsRefusedAndLeftAlone) {
  Database newer(kDeliveredSchema);
  newer.db.exec("PRAGMA user_version = " + std::to_string(schema::latestVersion() + 3));
  const Texts before = describe(newer.db);
  const auto result = schema::bringUpToDate(newer.db);
  EXPECT_EQ(result.outcome, schema::Upgrade::Newer);
  EXPECT_EQ(result.found, schema::latestVersion() + 3);
  EXPECT_EQ(describe(newer.db), before);
  const std::string text = schema::refusalText("/opt/travik/vrndata.mdb", result);
  EXPECT_NE(text.find("/opt/travik/vrndata.mdb"), std::string::npos) << text;
  EXPECT_NE(text.find("version " + std::to_string(result.found)), std::string::npos) << text;
  EXPECT_NE(text.find("up to " + std::to_string(result.known)), std::string::npos) << text;
  EXPECT_NE(text.find("newer"), std::string::npos) << text;
}

TEST(DatabaseSchema, AnOlderDatabaseThisProgramMayNotWriteIsLeftAlone) {
  Database earlier(kEarlierSchemas / "4134bb2.sql");
  const Texts before = describe(earlier.db);
  earlier.db.exec("PRAGMA query_only = 1");  // as a file the account may not write
  const auto result = schema::bringUpToDate(earlier.db);
  EXPECT_EQ(result.outcome, schema::Upgrade::OlderReadOnly);
  EXPECT_EQ(result.found, 0);
  earlier.db.exec("PRAGMA query_only = 0");
  EXPECT_EQ(describe(earlier.db), before);
  EXPECT_NE(schema::refusalText("/x/vrndata.mdb", result).find("may not write"), std::string::npos);
}

// The exercise of a new column: a database made before it lacks it, and the
// queries that name it fail there, until one step in the list adds it.
TEST(DatabaseSchema, ANewColumnWorksInAnOlderDatabaseThroughOneMoreStep) {
  const int next = schema::latestVersion() + 1;
  std::string changedSchema = readText(kDeliveredSchema);
  const std::string lastColumn = "  ignoreErrorForIntervalCalculation INTEGER NOT NULL DEFAULT 0\n);";
  ASSERT_NE(changedSchema.find(lastColumn), std::string::npos);
  changedSchema.replace(changedSchema.find(lastColumn), lastColumn.size(),
                        "  ignoreErrorForIntervalCalculation INTEGER NOT NULL DEFAULT 0,\n  dialresult TEXT\n);");
  const std::string version = "PRAGMA user_version = " + std::to_string(schema::latestVersion()) + ";";
  ASSERT_NE(changedSchema.find(version), std::string::npos);
  changedSchema.replace(changedSchema.find(version), version.size(),
                        "PRAGMA user_version = " + std::to_string(next) + ";");
  Database changedToday(changedSchema);

  Database older(kDeliveredSchema);
  older.db.exec("insert into calls (callid, line, exitcode) values ('06122024.100000.100.001.001', 1, 'OK')");
  const std::string query = "select callid, calls.dialresult from calls";
  // Today's steps: nothing to do, and the column is not there.
  EXPECT_EQ(schema::bringUpToDate(older.db).outcome, schema::Upgrade::Current);
  EXPECT_THROW(older.rows(query), db::DbError);

  std::vector<schema::Step> steps = schema::steps();
  steps.push_back({next, [](db::Connection& db) { db.exec("ALTER TABLE calls ADD COLUMN dialresult TEXT"); }});
  const auto result = schema::bringUpToDate(older.db, steps);
  EXPECT_EQ(result.outcome, schema::Upgrade::Upgraded);
  EXPECT_EQ(result.known, next);
  EXPECT_EQ(older.rows(query), Texts{"06122024.100000.100.001.001|<null>"});
  EXPECT_EQ(describe(older.db), describe(changedToday.db));
}

TEST(DatabaseSchema, NoOtherModuleCreatesAltersOrDropsATableOrAnIndex) {
  for (const char* top : {"platform", "processing", "service", "admin", "uninstall"}) {
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(TRAVIK_SOURCE_DIR) / top)) {
      const fs::path& file = entry.path();
      if (file.extension() != ".cpp" && file.extension() != ".h") continue;
      if (file.filename() == "database_schema.cpp") continue;
      const std::string text = collapsed(readText(file));
      for (const char* statement :
           {"create table", "create index", "create unique index", "alter table", "drop table", "drop index"})
        EXPECT_EQ(text.find(statement), std::string::npos) << file << ": " << statement;
    }
  }
}

// ---- The programs at their start ----

struct Started {
  explicit Started(bool service, int version) : t(service) {
    // As a service killed in a run leaves it: a start that writes resets it.
    t->db.exec("update applicationparameters set value = 'True' where property = 'SERVICEPROCESSING'");
    t->db.exec("PRAGMA user_version = " + std::to_string(version));
    t->db.close();
    t->gatewayNotInstalled = true;
  }
  int userVersion() {
    db::Connection db;
    db.open(t->databasePath().string());
    return schema::userVersion(db);
  }
  std::string parameter(const std::string& property) {
    db::Connection db;
    db.open(t->databasePath().string());
    auto row = db.prepare("select value from applicationparameters where property = ?1");
    row.bind(1, property);
    return row.step() ? row.getText(0) : "<none>";
  }
  test::TestProgram t;
};

TEST(DatabaseSchema, TheServiceEndsWithItsOwnStatusOnANewerDatabaseWritingNothingToIt) {
  const int newer = schema::latestVersion() + 1;
  Started s(true, newer);
  try {
    main(*s.t);
    FAIL() << "the service went on";
  } catch (const ProgramEnded& ended) {
    EXPECT_EQ(ended.exitCode, exit_status::kSchemaNotCurrent);
  }
  EXPECT_EQ(s.userVersion(), newer);
  EXPECT_TRUE(s.t.host.boxes.empty());
  EXPECT_EQ(s.parameter("SERVICEPROCESSING"), "True");
  EXPECT_FALSE(s.t->db.isOpen());
}

TEST(DatabaseSchema, TheStartBringsAnOlderDatabaseUpToDateBeforeAnyOtherUse) {
  Started s(true, 0);
  s.t->db.open(s.t->databasePath().string());
  s.t->db.exec("drop table linewalk");
  s.t->db.close();
  std::string said;
  s.t->standardError = [&](std::string_view line) { said += line; };
  main(*s.t);
  EXPECT_EQ(schema::userVersion(s.t->db), schema::latestVersion());
  EXPECT_EQ(s.t.rows("select count(*) from sqlite_master where name = 'linewalk'"), Texts{"1"});
  const std::string note = "mdb was brought up to date from schema version 0 to " + s.t.rows("PRAGMA user_version")[0];
  EXPECT_NE(said.find(note), std::string::npos) << said;
  flushActivityLog(*s.t);
  EXPECT_NE(test::readFile(s.t->activityLog.fileName).find(note), std::string::npos);
}

TEST(DatabaseSchema, TheConsoleShowsANewerDatabaseRefusedAndEnds) {
  Started s(false, schema::latestVersion() + 1);
  EXPECT_THROW(main(*s.t), ProgramEnded);
  ASSERT_EQ(s.t.host.boxes.size(), 1u);
  EXPECT_EQ(s.t.host.boxes[0].title, "Database not current");
  EXPECT_NE(s.t.host.boxes[0].text.find(s.t->databasePath().string()), std::string::npos);
}

TEST(DatabaseSchema, AConsoleOnAnOlderDatabaseItMayNotWriteOnlyReadsIt) {
  test::TestProgram t(false);
  t->db.exec("drop table linewalk");
  t->db.exec("PRAGMA user_version = 0");
  t->db.exec("PRAGMA query_only = 1");
  EXPECT_TRUE(checkDatabaseSchema(*t));
  EXPECT_TRUE(t->databaseReadOnly);
  ASSERT_EQ(t.host.boxes.size(), 1u);
  EXPECT_NE(t.host.boxes[0].text.find("version 0"), std::string::npos) << t.host.boxes[0].text;

  // The interlock flags and an unchanged setting pass silently; a change is refused.
  setApplicationParameter(*t, parameter::kAdminRunning, "True");
  setApplicationParameter(*t, parameter::kAutoTest, "False");
  EXPECT_EQ(t.host.boxes.size(), 1u);
  setApplicationParameter(*t, parameter::kAutoTest, "True");
  ASSERT_EQ(t.host.boxes.size(), 2u);
  EXPECT_NE(t.host.boxes[1].text.find("settings"), std::string::npos);
  EXPECT_FALSE(t->settings.autoTest);
  EXPECT_TRUE(refuseWhileDatabaseReadOnly(*t));
  EXPECT_EQ(t->handledErrorCount, 0);
  t->db.exec("PRAGMA query_only = 0");
  EXPECT_EQ(t.rows("select value from applicationparameters where property in ('AUTOTEST', 'ADMINRUNNING')"),
            (Texts{"False", "False"}));
}

}  // namespace
}  // namespace travik
