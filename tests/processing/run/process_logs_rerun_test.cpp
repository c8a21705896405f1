// Processing runs after a run that was cut short, after a quiet run and
// after a run that met a locked database: the tables come out as one
// uninterrupted run leaves them, and a run with nothing new touches nothing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/db.h"
#include "processing/run/process_logs.h"
#include "processing/runtime/database_schema.h"
#include "processing/runtime/file_times.h"
#include "processing/runtime/handled_error.h"
#include "tests/processing/call_trace.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::string>;

const DateTime kNow(2024, 6, 12, 12, 0, 0);
const DateTime kFirst(2024, 6, 12, 10, 0, 0);

// The tables a run writes, each row with its row id.
const char* const kTables[] = {"Events", "calls",       "tasks",        "recipients",
                               "errors", "linesummary", "octelsummary", "linewalk"};

// Trace text: on each of lines 1 to 3, `calls` short inbound calls ending in a
// failure, two events per second; line 3 ends with an open call.
std::string traceText(const DateTime& first, int calls) {
  std::string text;
  auto line = [&](const DateTime& t, int milliseconds, int number, const std::string& data) {
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d-%02d:%02d:%02d.%03d", t.year(), t.month(), t.day(), t.hour(),
                  t.minute(), t.second(), milliseconds);
    text += std::string(stamp) + " 00000000 Line " + std::to_string(number) + ": " + data + "\r\n";
  };
  for (int i = 0; i < calls; ++i)
    for (int number = 1; number <= 3; ++number) {
      line(first.addSeconds(i), 100 * number, number, "Call Received.");
      line(first.addSeconds(i), 100 * number + 50, number, "Incoming Call Completed.");
    }
  line(first.addSeconds(calls), 0, 3, "Call Received.");
  line(first.addSeconds(calls), 10, 3, "Received BD");
  return text;
}

class ProcessLogsRerun : public ::testing::Test {
 protected:
  ProcessLogsRerun() { tp.host.clock = kNow; }

  fs::path traceFile(const std::string& name, const DateTime& first, int calls) {
    const fs::path path = tp.traceFolder() / name;
    test::writeFile(path, traceText(first, calls));
    // Written a moment before its last event's second ends: not newer than it.
    setFileModificationTime(path, first.addSeconds(calls - 1));
    return path;
  }
  Rows tables(bool withRowids) {
    Rows all;
    for (const char* table : kTables) {
      const std::string columns = withRowids ? "rowid, *" : "*";
      for (const std::string& row : tp.rows(std::string("select ") + columns + " from " + table + " order by 2, 3, 4"))
        all.push_back(std::string(table) + ": " + row);
    }
    return all;
  }
  Rows callTables() {
    Rows all;
    for (const char* table : {"calls", "errors", "linesummary", "octelsummary"})
      for (const std::string& row : tp.rows(std::string("select * from ") + table + " order by 1, 2, 3"))
        all.push_back(std::string(table) + ": " + row);
    return all;
  }
  Rows outputFiles() {
    Rows files;
    for (const auto& entry : fs::directory_iterator(tp.outputFolder()))
      if (entry.is_regular_file()) files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
  }
  // The tables one uninterrupted run leaves over the same folder.
  Rows oneRun(int calls) {
    test::TestProgram other;
    test::writeFile(other.traceFolder() / "MVLOG.001", traceText(kFirst, calls));
    setFileModificationTime(other.traceFolder() / "MVLOG.001", kFirst.addSeconds(calls - 1));
    return callTablesOfOneRun(other);
  }
  // The same over a copy of this program's trace folder, at this program's clock.
  Rows oneRunOverTheSameFolder() {
    test::TestProgram other;
    for (const auto& entry : fs::directory_iterator(tp.traceFolder())) {
      const fs::path copy = other.traceFolder() / entry.path().filename();
      fs::copy_file(entry.path(), copy);
      fs::last_write_time(copy, fs::last_write_time(entry.path()));
    }
    return callTablesOfOneRun(other, tp.host.clock);
  }
  Rows callTablesOfOneRun(test::TestProgram& other, const DateTime& now = kNow) {
    other.host.clock = now;
    processLogs(*other);
    std::swap(tp.program, other.program);
    Rows rows = callTables();
    std::swap(tp.program, other.program);
    return rows;
  }
  // The automatic reports a run at `now` writes, by name.
  static Rows reportSetOfRunAt(const DateTime& now) {
    Rows names;
    for (const char* kind : {"AllCalls", "LineSummary", "OctelSummary", "RejectedRecipients"})
      names.push_back(std::string("TRAVIK-REPORT.") + kind + "." + now.toMMDDYYYY() + "." + now.toHHMMSS() + ".csv");
    return names;
  }
  // A processing run in a child process, a program start of its own, that
  // kills itself at the first pause after the status `at` is shown: no
  // destructor runs and no transaction ends but by SQLite's recovery.  Then
  // the program starts anew.
  void runKilledAfter(const std::string& at) {
    tp->db.close();
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::alarm(60);
      tp.connect();
      tp.openLog();  // its lines pause, as the service's do
      auto killHere = [&] {
        if (!tp.host.statuses.empty() && tp.host.statuses.back().text == at) ::raise(SIGKILL);
      };
      tp.host.onYield = killHere;
      tp.host.onSleep = [&](int) { killHere(); };
      processLogs(*tp);
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "never killed at \"" << at << "\": " << status;
    tp.restart();
  }

  test::TestProgram tp;
};

TEST_F(ProcessLogsRerun, ARunCutShortAfterItsParseIsMadeGoodByARunWithNoNewFile) {
  traceFile("MVLOG.001", kFirst, 4);
  // The program ends in the pause before the first line's calls.
  tp.host.onSleep = [&](int milliseconds) {
    if (milliseconds == 3000) throw ProgramEnded{};
  };
  EXPECT_THROW(processLogs(*tp), ProgramEnded);
  tp.host.onSleep = nullptr;
  EXPECT_EQ(tp.rows("select count(*) from Events"), Rows{"26"});
  EXPECT_EQ(tp.rows("select count(*) from calls"), Rows{"0"});

  // A program started anew, which has parsed nothing, finds no new file.
  tp->highestLineNumber = 0;
  processLogs(*tp);
  ASSERT_FALSE(tp.events.entries.empty());
  EXPECT_EQ(tp.events.entries[0].eventId, 16);
  EXPECT_EQ(callTables(), oneRun(4));
  EXPECT_EQ(tp.rows("select count(*) from calls where line = 3 and timestampend is null"), Rows{"1"});
  const Rows files = outputFiles();
  EXPECT_EQ(std::count_if(files.begin(), files.end(),
                          [](const std::string& file) { return file.starts_with("TRAVIK-REPORT.LineSummary."); }),
            1);
}

TEST_F(ProcessLogsRerun, ARunWithNothingNewChangesNoTableAndWritesNoReport) {
  traceFile("MVLOG.001", kFirst, 3);
  processLogs(*tp);
  ASSERT_EQ(tp.rows("select count(*) from calls where timestampend is null"), Rows{"1"});
  const Rows before = tables(true);
  const Rows files = outputFiles();
  tp.host.statuses.clear();
  tp.events.entries.clear();

  processLogs(*tp);
  EXPECT_EQ(tables(true), before);
  EXPECT_EQ(outputFiles(), files);
  // The notice and nothing else: no threshold entry again.
  ASSERT_EQ(tp.events.entries.size(), 1u);
  EXPECT_EQ(tp.events.entries[0].eventId, 16);
  // The status lines of a quiet run are those it always showed.
  Rows texts;
  for (const auto& status : tp.host.statuses) texts.push_back(status.text);
  EXPECT_EQ(texts,
            (Rows{"Connecting to database...", "Clearing database files...",
                  "Deleting 1 incomplete calls from previous processing and associated data...",
                  "Deleting 0 obsolete calls from previous processing and associated data...",
                  "Deleting previous line and Octel node summary data...", "Deleting events more than 72 hours old...",
                  "Locating new activity since last processing...", "Processing complete."}));
  EXPECT_EQ(tp->handledErrorCount, 0);
}

TEST_F(ProcessLogsRerun, AFileHoldingOnlyStoredEventsChangesNothing) {
  const fs::path file = traceFile("MVLOG.001", kFirst, 3);
  processLogs(*tp);
  const Rows before = tables(true);
  const Rows files = outputFiles();
  // A copy of a trace file is read, and every event of it is stored already.
  const fs::path copy = file.parent_path() / "MVLOG.002";
  fs::copy_file(file, copy);
  setFileModificationTime(copy, kFirst.addSeconds(30));
  tp.host.clock = kNow.addSeconds(60);
  tp.host.statuses.clear();
  processLogs(*tp);
  Rows texts;
  for (const auto& status : tp.host.statuses) texts.push_back(status.text);
  ASSERT_NE(std::find(texts.begin(), texts.end(), "Parsing MVLOG.002..."), texts.end());
  EXPECT_EQ(tables(true), before);
  EXPECT_EQ(outputFiles(), files);
}

TEST_F(ProcessLogsRerun, ARunWithNothingNewButACallPastTheRetentionComputesTheTotalsAgain) {
  traceFile("MVLOG.001", kFirst, 3);
  processLogs(*tp);
  tp->db.exec("update calls set timestampbegin = '2024-06-01 00:00:00' where callid like '06122024.100000.100.%'");
  const Rows files = outputFiles();
  tp.host.clock = kNow.addSeconds(60);
  processLogs(*tp);
  EXPECT_EQ(tp.rows("select calls from linesummary where line = 1"), Rows{"2"});
  EXPECT_NE(outputFiles(), files);
}

TEST_F(ProcessLogsRerun, TotalsAfterARunStartedOnALockedDatabaseAreNotAddedToTheOldOnes) {
  traceFile("MVLOG.001", kFirst, 3);
  processLogs(*tp);
  traceFile("MVLOG.002", kFirst.addSeconds(10), 3);
  tp->databaseBusyTimeoutMs = 20;
  // The other program holds the database from the removal of stale data until
  // this run reconnects for its parse.
  db::Connection other;
  other.open(tp->databasePath().string());
  bool held = false;
  tp.host.onSleep = [&](int milliseconds) {
    if (milliseconds == 500 && !held) {
      other.exec("BEGIN EXCLUSIVE");
      held = true;
    } else if (milliseconds == 1000 && held && other.inTransaction()) {
      other.exec("ROLLBACK");
    }
  };
  processLogs(*tp);
  tp.host.onSleep = nullptr;
  ASSERT_TRUE(held);

  const std::string sums = "count(*), count(case when exitcode like 'E%' then 1 end), sum(durationInSeconds)";
  EXPECT_EQ(tp.rows("select line, calls, errors, timeinuseInSeconds from linesummary order by line"),
            tp.rows("select line, " + sums + " from calls group by line order by line"));
  EXPECT_EQ(tp.rows("select octelserialnumber, calls from octelsummary"),
            tp.rows("select octelserialnumber, count(*) from calls group by 1"));
  EXPECT_EQ(tp.rows("select count(*) from octelsummary"), Rows{"1"});
}

// A run killed after its walk committed the calls and before its summary
// was complete: the totals, or the reports, are those of the calls before.
// The next run finds nothing to rebuild and must still complete them.
class ProcessLogsKilledBeforeItsSummary : public ProcessLogsRerun, public ::testing::WithParamInterface<const char*> {};

TEST_P(ProcessLogsKilledBeforeItsSummary, IsCompletedByARunWithNoNewFile) {
  traceFile("MVLOG.001", kFirst, 3);
  processLogs(*tp);
  traceFile("MVLOG.002", kFirst.addSeconds(10), 3);
  tp.host.clock = kNow.addSeconds(60);
  runKilledAfter(GetParam());
  ASSERT_EQ(tp.rows("select count(*) from calls where line = 1"), Rows{"6"});

  tp.host.clock = kNow.addSeconds(120);
  processLogs(*tp);
  EXPECT_EQ(callTables(), oneRunOverTheSameFolder());
  EXPECT_EQ(outputFiles(), reportSetOfRunAt(tp.host.clock));
  EXPECT_EQ(tp->handledErrorCount, 0);

  // Nothing is owed any more: the next quiet run changes nothing.
  const Rows before = tables(true);
  const Rows files = outputFiles();
  tp.host.clock = kNow.addSeconds(180);
  processLogs(*tp);
  EXPECT_EQ(tables(true), before);
  EXPECT_EQ(outputFiles(), files);
  EXPECT_TRUE(tp.rows("select * from summarydue").empty());
}

// The statuses above, as test names.
std::string killPointName(const ::testing::TestParamInfo<const char*>& info) {
  static const char* const kNames[] = {"BeforeTheLineTotals", "BeforeTheNodeTotals", "BeforeTheReports"};
  return kNames[info.index];
}

INSTANTIATE_TEST_SUITE_P(, ProcessLogsKilledBeforeItsSummary,
                         ::testing::Values("Calculating per line totals...", "Calculating per node totals...",
                                           "Generating reports..."),
                         killPointName);

TEST_F(ProcessLogsRerun, ARunKilledAfterRemovingAnObsoleteCallLeavesTheTotalsToTheNextRun) {
  // A database from before the record of what the summary owes, brought up
  // to date as the start does.
  tp->db.exec("drop table summarydue");
  tp->db.exec("PRAGMA user_version = 0");
  ASSERT_EQ(schema::bringUpToDate(tp->db).outcome, schema::Upgrade::Upgraded);
  traceFile("MVLOG.001", kFirst, 3);
  processLogs(*tp);
  tp->db.exec("update calls set timestampbegin = '2024-06-01 00:00:00' where callid like '06122024.100000.100.%'");
  tp.host.clock = kNow.addSeconds(60);
  runKilledAfter("Deleting previous line and Octel node summary data...");
  ASSERT_EQ(tp.rows("select count(*) from calls where line = 1"), Rows{"2"});

  // The call is gone already: this run removes none, and rebuilds nothing.
  tp.host.clock = kNow.addSeconds(120);
  processLogs(*tp);
  EXPECT_EQ(tp.rows("select calls from linesummary where line = 1"), Rows{"2"});
  EXPECT_EQ(outputFiles(), reportSetOfRunAt(tp.host.clock));
  EXPECT_TRUE(tp.rows("select * from summarydue").empty());
}

}  // namespace
}  // namespace travik
