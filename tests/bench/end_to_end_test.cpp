// Whole processing runs over generated trace folders: the rows match the
// generated calls and the run leaves its report set; a folder handed over in
// batches gives what one run gives; runs killed at random points lose and
// double nothing.
//
// The folders are small (a few lines, a few hours, a handful of files) so
// that the sanitizer build stays quick.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "bench/traffic_expectations.h"
#include "bench/traffic_generator.h"
#include "processing/reports/automatic_reports.h"
#include "processing/run/process_logs.h"
#include "processing/runtime/database_schema.h"
#include "processing/runtime/file_times.h"
#include "tests/support/test_program.h"

namespace travik::traffic {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

// Every generated span ends here; the last run's clock stands a minute later.
const DateTime kEnd(2005, 6, 15, 12, 0, 0);

// The tables a processing run writes, compared whole between runs.
const Texts kTables{"Events", "calls", "tasks", "recipients", "errors", "linesummary", "octelsummary"};

// ---------------------------------------------------------------- the traffic

// A generated gateway kept apart from every trace folder, so that its files
// can be handed to a program folder all at once or in batches, as the
// gateway writes them.
class GeneratedTraffic {
 public:
  GeneratedTraffic(int lines, double hours, std::uint64_t seed, std::uint64_t maxFileBytes) {
    TrafficOptions options;
    options.folder = staging_.path() / "traces";
    options.summaryFile = staging_.path() / "traffic-summary.csv";
    options.lines = lines;
    options.hours = hours;
    options.end = kEnd;
    options.seed = seed;
    options.maxFileBytes = maxFileBytes;
    options.failurePercent = 15;
    result_ = generateTraffic(options, [&](const TraceEvent& event) {
      events_.push_back(DateTime::fromSerialSeconds(event.time / 1000).toStored() + "|" +
                        std::to_string(event.time % 1000) + "|" + std::to_string(event.line) + "|" +
                        std::string(event.text));
    });
  }

  const GenerationResult& result() const { return result_; }
  std::size_t files() const { return result_.files.size(); }
  // Every generated event as "Timestamp|Milliseconds|Line|Data".
  const Texts& events() const { return events_; }
  DateTime modified(std::size_t file) const { return fileModificationTime(result_.files.at(file)); }

  // Copies files [from, to) into the program's trace folder with their modification times.
  void deliver(test::TestProgram& program, std::size_t from, std::size_t to) const {
    for (std::size_t i = from; i < to; ++i) {
      const fs::path& source = result_.files.at(i);
      const fs::path target = program.traceFolder() / source.filename();
      fs::copy_file(source, target);
      fs::last_write_time(target, fs::last_write_time(source));
    }
  }

 private:
  test::TempFolder staging_;
  GenerationResult result_;
  Texts events_;
};

// ---------------------------------------------------------------- runs

// The service's run at the given moment; the activity log is opened at the
// program's first run, as the service's start-up opens it.
void startRun(test::TestProgram& program, const DateTime& now) {
  program.host.clock = now;
  if (!program->activityLog.file.is_open()) program.openLog();
}

void runAt(test::TestProgram& program, const DateTime& now) {
  startRun(program, now);
  processLogs(*program);
}

// The stretches of a run a kill is aimed at, each begun by a status line.
enum class Phase { Parse, Calls, Summary };
constexpr int kPhases = 3;
const char* const kPhaseStatus[kPhases] = {"Parsing ", "Processing calls for line ", "Calculating per line totals..."};

// Counts the points at which a run can be cut short: every yield and pause of
// the host and every kProgressSteps virtual-machine steps of SQLite, so that
// a cut also falls inside a write transaction.  It notes the point at which
// each phase began; given a target, the process kills itself at the
// offset-th point after its phase began.
class KillSwitch {
 public:
  static constexpr int kProgressSteps = 200;

  explicit KillSwitch(test::TestProgram& program) : program_(program), seen_(program.host.statuses.size()) {
    program.host.onYield = [this] { pass(); };
    program.host.onSleep = [this](int) { pass(); };
    arm();
  }
  KillSwitch(test::TestProgram& program, Phase target, std::int64_t offset) : KillSwitch(program) {
    target_ = target;
    offset_ = offset;
  }
  ~KillSwitch() {
    program_.host.onYield = nullptr;
    program_.host.onSleep = nullptr;
    if (sqlite3* handle = program_->db.handle()) sqlite3_progress_handler(handle, 0, nullptr, nullptr);
  }
  KillSwitch(const KillSwitch&) = delete;
  KillSwitch& operator=(const KillSwitch&) = delete;

  // Points from the start of the phase to the start of the next one that
  // came (or to the end of the run); 0 when the phase never began.
  std::int64_t phaseLength(Phase phase) const {
    const auto& begin = began_[static_cast<int>(phase)];
    if (!begin) return 0;
    for (int later = static_cast<int>(phase) + 1; later < kPhases; ++later)
      if (began_[later]) return *began_[later] - *begin;
    return points_ - *begin;
  }

 private:
  void count() {
    const auto& statuses = program_.host.statuses;
    for (; seen_ < statuses.size(); ++seen_)
      for (int phase = 0; phase < kPhases; ++phase)
        if (!began_[phase] && statuses[seen_].text.rfind(kPhaseStatus[phase], 0) == 0) began_[phase] = points_;
    ++points_;
    if (target_) {
      const auto& begin = began_[static_cast<int>(*target_)];
      if (begin && points_ - *begin == offset_) ::raise(SIGKILL);
    }
  }
  void pass() {
    count();
    arm();
  }
  // The run closes and reopens the database; each new handle gets the handler.
  void arm() {
    if (sqlite3* handle = program_->db.handle()) sqlite3_progress_handler(handle, kProgressSteps, &onProgress, this);
  }
  static int onProgress(void* self) {
    static_cast<KillSwitch*>(self)->count();
    return 0;
  }

  test::TestProgram& program_;
  std::size_t seen_;
  std::int64_t points_ = 0;
  std::optional<std::int64_t> began_[kPhases];
  std::optional<Phase> target_;
  std::int64_t offset_ = 0;
};

enum class ChildEnd { Completed, Killed, Failed };

// One run of the service in a child process over the program folder, aimed
// to be killed at a point of a phase.  The child is one program start: it
// connects and opens its own activity log.  It ends itself after a minute at
// the latest, so a run that hangs fails the test instead of holding it.
ChildEnd runInChild(test::TestProgram& program, const DateTime& now, Phase target, std::int64_t offset) {
  // The child opens its own connection; none may cross the fork.
  program->db.close();
  const pid_t pid = ::fork();
  if (pid < 0) {
    ADD_FAILURE() << "fork failed";
    return ChildEnd::Failed;
  }
  if (pid == 0) {
    ::alarm(60);
    int code = 0;
    try {
      program.connect();
      startRun(program, now);
      KillSwitch killSwitch(program, target, offset);
      processLogs(*program);
      code = program->handledErrorCount == 0 ? 0 : 2;
    } catch (...) {
      code = 3;
    }
    ::_exit(code);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) {
    ADD_FAILURE() << "waitpid failed";
    return ChildEnd::Failed;
  }
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) return ChildEnd::Killed;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return ChildEnd::Completed;
  ADD_FAILURE() << "the run in the child ended with status " << status << " (exit 2: handled errors, 3: exception, "
                << "signal " << SIGALRM << ": it took longer than a minute)";
  return ChildEnd::Failed;
}

// ---------------------------------------------------------------- comparing

Texts sortedRows(test::TestProgram& program, const std::string& sql) {
  Texts rows = program.rows(sql);
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::map<std::string, Texts> snapshot(test::TestProgram& program) {
  std::map<std::string, Texts> tables;
  for (const auto& table : kTables) tables[table] = sortedRows(program, "select * from " + table);
  return tables;
}

// Two sorted row lists, with the first rows found in only one of them.
::testing::AssertionResult sameRows(const Texts& expected, const Texts& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  Texts missing, extra;
  std::set_difference(expected.begin(), expected.end(), actual.begin(), actual.end(), std::back_inserter(missing));
  std::set_difference(actual.begin(), actual.end(), expected.begin(), expected.end(), std::back_inserter(extra));
  auto result = ::testing::AssertionFailure() << expected.size() << " rows expected, " << actual.size() << " found; "
                                              << missing.size() << " missing, " << extra.size() << " extra";
  for (std::size_t i = 0; i < missing.size() && i < 5; ++i) result << "\n  missing: " << missing[i];
  for (std::size_t i = 0; i < extra.size() && i < 5; ++i) result << "\n  extra:   " << extra[i];
  return result;
}

void expectSameTables(const std::map<std::string, Texts>& expected, const std::map<std::string, Texts>& actual) {
  for (const auto& table : kTables) EXPECT_TRUE(sameRows(expected.at(table), actual.at(table))) << "table " << table;
}

// ---------------------------------------------------------------- reports

// An RFC 4180 reader: records end in CR LF, a quoted field may hold commas,
// line breaks and doubled quotes.  Fails on a bare line end, text after a
// closing quote and an unterminated quote.
std::optional<std::vector<Texts>> readCsv(const std::string& bytes, std::string& error) {
  std::vector<Texts> records;
  Texts record;
  std::string field;
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (bytes[i] == '"' && field.empty()) {
      for (++i;; ++i) {
        if (i >= bytes.size()) {
          error = "unterminated quote";
          return std::nullopt;
        }
        if (bytes[i] == '"') {
          if (i + 1 < bytes.size() && bytes[i + 1] == '"') {
            field += '"';
            ++i;
          } else {
            ++i;
            break;
          }
        } else {
          field += bytes[i];
        }
      }
      if (i < bytes.size() && bytes[i] != ',' && bytes[i] != '\r') {
        error = "text after a closing quote in record " + std::to_string(records.size() + 1);
        return std::nullopt;
      }
      continue;
    }
    if (bytes[i] == ',') {
      record.push_back(std::move(field));
      field.clear();
      ++i;
    } else if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      record.push_back(std::move(field));
      field.clear();
      records.push_back(std::move(record));
      record.clear();
      i += 2;
    } else if (bytes[i] == '\r' || bytes[i] == '\n' || bytes[i] == '"') {
      error = "a bare line end or quote in record " + std::to_string(records.size() + 1);
      return std::nullopt;
    } else {
      field += bytes[i++];
    }
  }
  if (!field.empty() || !record.empty()) {
    error = "the last record does not end in CR LF";
    return std::nullopt;
  }
  return records;
}

const std::vector<std::string>& counterColumns() {
  static const Texts columns{"msgsendattempt",        "msgsendsuccess",      "msgreceiveattempt", "msgreceivesuccess",
                             "numberrecipientssent",  "adminnamesrequested", "textnamesreceived", "voicenamesreceived",
                             "adminnamerequestsrecd", "textnamessent",       "voicenamessent"};
  return columns;
}

Texts operator+(Texts a, const Texts& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct ReportKind {
  std::string kind;
  Texts columns;     // the documented header
  std::string rows;  // a query for the rows the report must hold, in its order
  int keyColumn;     // a column of the report compared with the first column of rows
};

std::vector<ReportKind> automaticReports() {
  return {
      {"AllCalls",
       Texts{"octelserialnumber", "timestampbegin", "timestampend", "callid", "inbound", "line", "durationInSeconds",
             "exitcode", "corvaneserialnumber", "protocollevel"} +
           counterColumns() +
           Texts{"timestamperror", "state", "statetext", "reason", "reasontext", "expecteddigits", "receiveddigits",
                 "expectednumberdigits", "receivednumberdigits"},
       "select calls.callid from calls left outer join errors on calls.callid = errors.callid order by calls.callid",
       3},
      {"LineSummary", Texts{"line", "calls", "errors", "errorpercent", "timeinuseInSeconds"} + counterColumns(),
       "select line from linesummary order by line", 0},
      {"OctelSummary",
       Texts{"octelserialnumber", "calls", "errors", "errorpercent", "callswithininterval", "errorswithininterval",
             "errorpercentwithininterval", "timeinuseInSeconds"} +
           counterColumns(),
       "select octelserialnumber from octelsummary order by octelserialnumber", 0},
      {"RejectedRecipients", Texts{"callid", "taskid", "recipient", "octelserialnumber", "recipientinfo"},
       std::string("select callid from (") + kAutomaticRejectedRecipientsSelection + ")", 0},
  };
}

// The output folder holds, besides logs/, exactly the four automatic reports
// of the run at `now`, each a CSV file with the documented header and the
// rows of its table.
void expectReportSetOfRun(test::TestProgram& program, const DateTime& now) {
  Texts names;
  for (const auto& entry : fs::directory_iterator(program.outputFolder()))
    if (!(entry.is_directory() && entry.path().filename() == "logs")) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  Texts expected;
  const std::string stamp = "." + now.toMMDDYYYY() + "." + now.toHHMMSS() + ".csv";
  for (const auto& report : automaticReports()) expected.push_back("TRAVIK-REPORT." + report.kind + stamp);
  ASSERT_EQ(names, expected);

  for (const auto& report : automaticReports()) {
    SCOPED_TRACE(report.kind);
    std::string error;
    const auto records =
        readCsv(test::readFile(program.outputFolder() / ("TRAVIK-REPORT." + report.kind + stamp)), error);
    ASSERT_TRUE(records) << error;
    ASSERT_FALSE(records->empty());
    EXPECT_EQ(records->front(), report.columns);
    Texts keys;
    for (std::size_t i = 1; i < records->size(); ++i) {
      EXPECT_EQ((*records)[i].size(), report.columns.size()) << "record " << i + 1;
      keys.push_back((*records)[i].at(report.keyColumn));
    }
    const Texts rows = program.rows(report.rows);
    EXPECT_EQ(keys, rows);
  }
}

// The totals of every line and node equal the sums over their calls, and
// the calls and failures in all equal what was generated.
void expectTotalsOfCalls(test::TestProgram& program, const GenerationResult& generated) {
  std::string sums;
  for (const auto& column : counterColumns()) sums += ", coalesce(sum(" + column + "), 0)";
  std::string columns;
  for (const auto& column : counterColumns()) columns += ", " + column;
  const std::string perCall =
      ", count(*), count(case when exitcode like 'E%' then 1 end), coalesce(sum(durationInSeconds), 0)" + sums;
  EXPECT_EQ(
      program.rows("select line, calls, errors, timeinuseInSeconds" + columns + " from linesummary order by line"),
      program.rows("select line" + perCall + " from calls group by line order by line"));
  EXPECT_EQ(program.rows("select octelserialnumber, calls, errors, timeinuseInSeconds" + columns +
                         " from octelsummary order by octelserialnumber"),
            program.rows("select octelserialnumber" + perCall +
                         " from calls group by octelserialnumber order by octelserialnumber"));
  const std::string totals = std::to_string(generated.calls) + "|" + std::to_string(generated.failedCalls);
  EXPECT_EQ(program.rows("select sum(calls), sum(errors) from linesummary"), Texts{totals});
  EXPECT_EQ(program.rows("select sum(calls), sum(errors) from octelsummary"), Texts{totals});
}

// ---------------------------------------------------------------- the tests

TEST(EndToEnd, OneRunRebuildsTheGeneratedCallsAndLeavesItsReportSet) {
  const GeneratedTraffic traffic(4, 3, 21, 40000);
  ASSERT_GE(traffic.files(), 4u);
  test::TestProgram program;
  traffic.deliver(program, 0, traffic.files());
  const DateTime now = kEnd.addMinutes(1);
  runAt(program, now);
  EXPECT_EQ(program->handledErrorCount, 0);

  const CallComparison calls = compareCalls(program->db, traffic.result().summaryFile);
  EXPECT_EQ(calls.expected, traffic.result().calls);
  EXPECT_TRUE(calls.allMatch()) << calls.matching << " of " << calls.expected << " calls match; first difference: "
                                << (calls.differences.empty() ? "" : calls.differences.front());

  // Every generated event is stored, and once; its key is unique.
  Texts generated = traffic.events();
  std::sort(generated.begin(), generated.end());
  EXPECT_TRUE(sameRows(generated, sortedRows(program, "select Timestamp, Milliseconds, Line, Data from Events")));
  EXPECT_EQ(program.rows("select count(*) from (select distinct Timestamp, Milliseconds, Sequence from Events)"),
            Texts{std::to_string(traffic.result().events)});

  expectTotalsOfCalls(program, traffic.result());
  expectReportSetOfRun(program, now);
}

TEST(EndToEnd, AFolderHandedOverInBatchesGivesWhatOneRunGives) {
  const GeneratedTraffic traffic(3, 3, 22, 30000);
  const std::size_t files = traffic.files();
  ASSERT_GE(files, 6u);
  const DateTime end = kEnd.addMinutes(1);

  test::TestProgram once;
  traffic.deliver(once, 0, files);
  runAt(once, end);

  // Each batch is processed a little after the gateway closed its last file;
  // a run in between finds nothing new.
  test::TestProgram batches;
  const std::vector<std::size_t> cuts{1, files / 3, files / 3 + 1, 2 * files / 3, files};
  std::size_t from = 0;
  for (const std::size_t to : cuts) {
    traffic.deliver(batches, from, to);
    runAt(batches, to == files ? end : traffic.modified(to - 1).addSeconds(20));
    if (to == files / 3) runAt(batches, traffic.modified(to - 1).addSeconds(50));
    from = to;
  }

  EXPECT_EQ(once->handledErrorCount, 0);
  EXPECT_EQ(batches->handledErrorCount, 0);
  EXPECT_TRUE(compareCalls(batches->db, traffic.result().summaryFile).allMatch());
  expectSameTables(snapshot(once), snapshot(batches));
}

TEST(EndToEnd, RunsKilledAtRandomPointsLeaveWhatUninterruptedRunsLeave) {
  const GeneratedTraffic traffic(3, 2, 23, 30000);
  const std::size_t files = traffic.files();
  ASSERT_GE(files, 5u);

  // The files reach the folder in two batches, and the last one after the
  // runs that are killed.  The kills of a batch are aimed at its phases in
  // this order: a run killed in reconstruction or in the totals leaves the
  // rest to the run that finds the next new file.
  struct Batch {
    std::size_t to;
    DateTime now;
    std::vector<Phase> kills;
  };
  const std::vector<Batch> batches{
      {(files - 1) / 2,
       traffic.modified((files - 1) / 2 - 1).addSeconds(30),
       {Phase::Parse, Phase::Parse, Phase::Calls}},
      {files - 1, traffic.modified(files - 2).addSeconds(30), {Phase::Parse, Phase::Summary}},
  };
  const DateTime last = kEnd.addMinutes(1);

  test::TestProgram uninterrupted;
  std::vector<std::array<std::int64_t, kPhases>> lengths;
  std::size_t from = 0;
  for (const Batch& batch : batches) {
    traffic.deliver(uninterrupted, from, batch.to);
    from = batch.to;
    startRun(uninterrupted, batch.now);
    KillSwitch counter(uninterrupted);
    processLogs(*uninterrupted);
    lengths.push_back({});
    for (int phase = 0; phase < kPhases; ++phase) {
      lengths.back()[phase] = counter.phaseLength(static_cast<Phase>(phase));
      ASSERT_GT(lengths.back()[phase], 0) << "phase " << phase << " of batch " << lengths.size();
    }
  }
  const Texts events = sortedRows(uninterrupted, "select * from Events");
  traffic.deliver(uninterrupted, from, files);
  runAt(uninterrupted, last);
  EXPECT_EQ(uninterrupted->handledErrorCount, 0);

  const auto uninterruptedTables = snapshot(uninterrupted);

  // Each seed gives its own kill points; the same seed always the same.
  for (const std::uint64_t seed : {1, 8}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    test::TestProgram killed;
    std::mt19937_64 random(seed);
    int runs = 0, kills = 0;
    from = 0;
    for (std::size_t b = 0; b < batches.size(); ++b) {
      traffic.deliver(killed, from, batches[b].to);
      from = batches[b].to;
      for (const Phase phase : batches[b].kills) {
        const std::int64_t length = lengths[b][static_cast<int>(phase)];
        const auto offset = 1 + static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(length));
        const ChildEnd end = runInChild(killed, batches[b].now, phase, offset);
        ASSERT_NE(end, ChildEnd::Failed) << "run " << runs << ": phase " << static_cast<int>(phase) << ", point "
                                         << offset << " of " << length;
        ++runs;
        if (end == ChildEnd::Killed) ++kills;
      }
    }
    // The first run of a batch parses what the uninterrupted run parsed, so
    // its kill always comes; later ones may find their phase shorter or gone.
    EXPECT_GE(kills, static_cast<int>(batches.size()));

    killed.connect();
    runAt(killed, batches.back().now);
    EXPECT_TRUE(sameRows(events, sortedRows(killed, "select * from Events")));

    traffic.deliver(killed, from, files);
    runAt(killed, last);
    EXPECT_EQ(killed->handledErrorCount, 0);
    expectSameTables(uninterruptedTables, snapshot(killed));
    expectReportSetOfRun(killed, last);
  }
}

// A database delivered by an earlier build, used by it, then opened by
// today's programs: brought up to date at the start with every stored row
// kept, it goes on as a database delivered today would.
TEST(EndToEnd, ADatabaseOfAnEarlierDeliveredSchemaKeepsItsRowsAndProcessesOnAfterTheUpgrade) {
  const GeneratedTraffic traffic(3, 3, 24, 30000);
  const std::size_t files = traffic.files();
  ASSERT_GE(files, 4u);
  const std::size_t half = files / 2;
  const DateTime halfway = traffic.modified(half - 1).addSeconds(20);
  const DateTime end = kEnd.addMinutes(1);

  test::TestProgram today;
  traffic.deliver(today, 0, half);
  runAt(today, halfway);
  traffic.deliver(today, half, files);
  runAt(today, end);

  for (const char* commit : {"72494a6", "4134bb2"}) {
    SCOPED_TRACE(commit);
    const fs::path schemaFile =
        fs::path(TRAVIK_SOURCE_DIR) / "tests" / "support" / "earlier_schemas" / (std::string(commit) + ".sql");
    // The first half processed, as the earlier build would have; its
    // database then holds the rows of every table that build delivered.
    test::TestProgram earlier;
    traffic.deliver(earlier, 0, half);
    runAt(earlier, halfway);
    const fs::path old = earlier.folder() / "earlier.mdb";
    test::createDatabaseFromSchema(schemaFile, old);
    std::map<std::string, Texts> kept;
    std::map<std::string, std::string> keptColumns;
    {
      db::Connection copy;
      copy.open(old.string());
      copy.prepare("ATTACH DATABASE ?1 AS today").bind(1, earlier->databasePath().string()).run();
      auto tables = copy.prepare("select name from main.sqlite_master where type = 'table'");
      Texts names;
      while (tables.step()) names.push_back(tables.getText(0));
      tables = db::Statement();
      copy.exec("BEGIN");
      for (const auto& name : names) {
        // The columns the earlier schema has: later ones come with the upgrade.
        std::string columns;
        auto info = copy.prepare("select name from pragma_table_info(?1, 'main')");
        info.bind(1, name);
        while (info.step()) columns += (columns.empty() ? "\"" : ", \"") + info.getText(0) + "\"";
        info = db::Statement();
        copy.exec("delete from main.\"" + name + "\"");
        copy.exec("insert into main.\"" + name + "\" (" + columns + ") select " + columns + " from today.\"" + name +
                  "\"");
        keptColumns[name] = columns;
        kept[name] = sortedRows(earlier, "select " + columns + " from \"" + name + "\"");
      }
      copy.exec("COMMIT");
      copy.exec("DETACH DATABASE today");
      EXPECT_EQ(schema::userVersion(copy), 0);
    }
    ASSERT_FALSE(kept.at("calls").empty());
    earlier->db.close();
    fs::rename(old, earlier->databasePath());
    earlier.restart();  // opens and brings up to date, as the start does

    EXPECT_EQ(schema::userVersion(earlier->db), schema::latestVersion());
    for (const auto& [name, rows] : kept)
      EXPECT_TRUE(sameRows(rows, sortedRows(earlier, "select " + keptColumns.at(name) + " from \"" + name + "\"")))
          << name;
    EXPECT_EQ(earlier.rows("select type, name from sqlite_master where name not like 'sqlite_%' order by 1, 2"),
              today.rows("select type, name from sqlite_master where name not like 'sqlite_%' order by 1, 2"));

    traffic.deliver(earlier, half, files);
    runAt(earlier, end);
    EXPECT_EQ(earlier->handledErrorCount, 0);
    expectSameTables(snapshot(today), snapshot(earlier));
    expectReportSetOfRun(earlier, end);
  }
}

}  // namespace
}  // namespace travik::traffic
