#include "processing/run/process_logs.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "platform/instance_lock.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/file_times.h"
#include "tests/support/lock_holder.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;

// The clock of every run here; far from a daylight-saving change.
const DateTime kNow(2024, 6, 12, 12, 0, 0);

std::string traceLine(const DateTime& t, int milliseconds, int line, const std::string& text) {
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d-%02d:%02d:%02d.%03d", t.year(), t.month(), t.day(), t.hour(),
                t.minute(), t.second(), milliseconds);
  return std::string(stamp) + " 00000000 Line " + std::to_string(line) + ": " + text + "\r\n";
}

class ProcessLogs : public ::testing::Test {
 protected:
  explicit ProcessLogs(bool service = true) : tp(service) {
    tp.host.clock = kNow;
    tp->highestLineNumber = 0;
  }

  // A trace file of count events one second apart from first, modified at its last event.
  fs::path traceFile(const std::string& name, const DateTime& first, int count, const std::string& tag) {
    std::string bytes;
    for (int i = 0; i < count; ++i) bytes += traceLine(first.addSeconds(i), 0, i % 4 + 1, tag + std::to_string(i));
    const fs::path path = tp.traceFolder() / name;
    test::writeFile(path, bytes);
    setFileModificationTime(path, first.addSeconds(count - 1));
    return path;
  }
  std::vector<std::string> statusTexts() {
    std::vector<std::string> texts;
    for (const auto& status : tp.host.statuses) texts.push_back(status.text);
    return texts;
  }
  std::string serviceProcessing() {
    return tp.rows("select value from applicationparameters where property = 'SERVICEPROCESSING'").at(0);
  }
  std::int64_t eventCount() { return std::stoll(tp.rows("select count(*) from Events").at(0)); }

  test::TestProgram tp;
};

class ProcessLogsInConsole : public ProcessLogs {
 protected:
  ProcessLogsInConsole() : ProcessLogs(false) {}
};

TEST(SelectTraceFiles, TakesMvlogFilesOfTheFolderModifiedLaterOldestFirstThenByName) {
  test::TempFolder folder;
  const DateTime after(2024, 6, 12, 10, 0, 0);
  auto make = [&](const std::string& name, const DateTime& modified) {
    test::writeFile(folder.path() / name, "x");
    setFileModificationTime(folder.path() / name, modified);
  };
  make("mvlog.001", after.addSeconds(5));
  make("MVLOG.b", after.addSeconds(1));
  make("MVLOG.a", after.addSeconds(1));
  make("MVLOG.same", after);
  make("MVLOGX.001", after.addSeconds(9));
  make("MVLOG", after.addSeconds(9));
  make("xMVLOG.1", after.addSeconds(9));
  fs::create_directories(folder.path() / "sub");
  make("sub/MVLOG.002", after.addSeconds(9));
  fs::create_directories(folder.path() / "MVLOG.folder");
  std::vector<std::string> names;
  for (const TraceFile& file : selectTraceFiles(folder.path(), after)) names.push_back(file.name);
  EXPECT_EQ(names, (std::vector<std::string>{"MVLOG.a", "MVLOG.b", "mvlog.001"}));
  EXPECT_THROW(selectTraceFiles(folder.path() / "missing", after), fs::filesystem_error);
}

TEST_F(ProcessLogs, AServiceRunShowsItsStepsParsesEachNewFileAndMarksItselfInTheDatabase) {
  traceFile("MVLOG.3", kNow.addHours(-1), 3, "c");
  traceFile("MVLOG.1", kNow.addHours(-3), 3, "a");
  traceFile("MVLOG.2", kNow.addHours(-2), 3, "b");
  std::vector<std::string> markDuringRun;
  tp.host.onSleep = [&](int) {
    if (tp->db.isOpen()) markDuringRun.push_back(serviceProcessing());
  };

  processLogs(*tp);

  EXPECT_EQ(statusTexts(),
            (std::vector<std::string>{
                "Connecting to database...", "Clearing database files...",
                "Deleting 0 incomplete calls from previous processing and associated data...",
                "Deleting 0 obsolete calls from previous processing and associated data...",
                "Deleting previous line and Octel node summary data...", "Deleting events more than 72 hours old...",
                "Locating new activity since last processing...", "Parsing MVLOG.1...", "Parsing MVLOG.2...",
                "Parsing MVLOG.3...", "Processing calls for line 1...", "Processing calls for line 2...",
                "Processing calls for line 3...", "Calculating per line totals...", "Calculating per node totals...",
                "Generating reports...", "Processing complete."}));
  EXPECT_EQ(tp.host.statuses.back().colour, StatusColour::WindowText);
  EXPECT_EQ(tp.host.statuses.front().colour, StatusColour::Progress);
  EXPECT_EQ(tp.host.progressLog,
            (std::vector<std::string>{"min=0", "max=3", "value=0", "value=1", "value=2", "value=3", "value=0",
                                      // the line walk over lines 1 to 3
                                      "min=0", "max=3", "value=0", "value=1", "value=2", "value=3", "value=0"}));
  EXPECT_EQ(tp.host.sleeps, (std::vector<int>{500, 500, 1000, 1000, 700, 700, 700, 3000, 1000, 1000, 1000}));
  EXPECT_EQ(tp.host.pointers,
            (std::vector<int>{kPointerHourglass, kPointerHourglass, kPointerDefault, kPointerDefault}));
  EXPECT_FALSE(markDuringRun.empty());
  EXPECT_TRUE(std::all_of(markDuringRun.begin(), markDuringRun.end(), [](auto& v) { return v == "True"; }));
  EXPECT_EQ(serviceProcessing(), "False");
  EXPECT_EQ(eventCount(), 9);
  EXPECT_EQ(tp->highestLineNumber, 3);
  EXPECT_EQ(tp->handledErrorCount, 0);
  EXPECT_TRUE(tp.events.entries.empty());
}

TEST_F(ProcessLogs, AFileNamedWithALineBreakCannotForgeAnActivityLogLine) {
  tp.openLog();
  // A file name holds no slash, so the forgery makes do with a time.
  const std::string forged = "9:00:00 AM: Processing complete.";
  traceFile("MVLOG.1\r\n" + forged + "\r\n\x1b[2J", kNow.addHours(-1), 2, "a");

  processLogs(*tp);
  closeActivityLog(*tp);

  const std::string log = test::readFile(tp->activityLog.fileName);
  EXPECT_NE(log.find("Parsing MVLOG.1\\r\\n" + forged + "\\r\\n\\x1B[2J..."), std::string::npos) << log;
  // Every line of the log is one of ours: none begins with the forged text.
  EXPECT_EQ(log.find("\r\n" + forged), std::string::npos) << log;
  EXPECT_EQ(log.find('\x1b'), std::string::npos);
  EXPECT_EQ(eventCount(), 2);
}

TEST_F(ProcessLogs, WithNothingNewTheServiceWritesTheNoticeAndRebuildsNothing) {
  tp.openLog();
  traceFile("MVLOG.old", kNow.addHours(-100), 3, "old");
  processLogs(*tp);

  const char* notice =
      "All MVLOG.* files found are older than the specified data retention period, or have not been modified "
      "since prior to the latest activity in the TRAVIK database.\r\n\r\nVerify that the log directory you "
      "selected is the location of the most recent logs, or increase the number of hours to retain data in "
      "TRAVIK.\r\n\r\nIf necessary, clear the TRAVIK database using the Options > Purge event data selection from "
      "the menu bar.";
  ASSERT_EQ(tp.events.entries.size(), 1u);
  EXPECT_EQ(tp.events.entries[0].eventId, 16);
  EXPECT_EQ(tp.events.entries[0].kind, platform::EventKind::Warning);
  EXPECT_EQ(tp.events.entries[0].text, "");
  flushActivityLog(*tp);
  EXPECT_NE(test::readFile(tp->activityLog.fileName).find(notice), std::string::npos);
  const auto texts = statusTexts();
  EXPECT_EQ(std::find(texts.begin(), texts.end(), notice), texts.end());
  EXPECT_EQ(texts.back(), "Processing complete.");
  EXPECT_TRUE(tp.host.progressLog.empty());
  EXPECT_EQ(tp.host.pointers, (std::vector<int>{kPointerHourglass, kPointerDefault}));
  EXPECT_EQ(serviceProcessing(), "False");
  EXPECT_EQ(eventCount(), 0);
}

TEST_F(ProcessLogsInConsole, TheConsoleShowsTheNoticeInABoxAndNeverMarksTheDatabase) {
  std::vector<std::string> markDuringRun;
  tp.host.onSleep = [&](int) {
    if (tp->db.isOpen()) markDuringRun.push_back(serviceProcessing());
  };
  processLogs(*tp);
  ASSERT_EQ(tp.host.boxes.size(), 1u);
  EXPECT_EQ(tp.host.boxes[0].text.substr(0, 24), "All MVLOG.* files found ");
  EXPECT_EQ(tp.host.boxes[0].icon, MessageIcon::Information);
  EXPECT_TRUE(tp.events.entries.empty());
  EXPECT_TRUE(std::all_of(markDuringRun.begin(), markDuringRun.end(), [](auto& v) { return v == "False"; }));
}

TEST_F(ProcessLogsInConsole, TheConsoleRefusesToRunWhileTheServiceProcesses) {
  setApplicationParameter(*tp, parameter::kServiceProcessing, "True");
  traceFile("MVLOG.1", kNow.addHours(-1), 3, "a");
  test::LockHolder serviceRun(platform::processingLockFile(tp->databasePath()));
  ASSERT_EQ(serviceRun.result(), platform::LockResult::Taken);
  processLogs(*tp);
  ASSERT_EQ(tp.host.boxes.size(), 1u);
  EXPECT_EQ(tp.host.boxes[0].text,
            "The TRAVIK service is currently processing data.  Please try again in a few moments.");
  EXPECT_EQ(tp.host.boxes[0].icon, MessageIcon::Information);
  EXPECT_TRUE(tp.host.statuses.empty());
  EXPECT_TRUE(tp.host.sleeps.empty());
  EXPECT_EQ(eventCount(), 0);
  EXPECT_EQ(serviceProcessing(), "True");
}

// A service that did not end in order (killed mid-run) left its mark; no run
// holds the processing lock, so the console processes, and says why once.
TEST_F(ProcessLogsInConsole, AServiceMarkThatNoRunHoldsIsStaleAndTheConsoleProcesses) {
  tp.openLog();
  setApplicationParameter(*tp, parameter::kServiceProcessing, "True");
  traceFile("MVLOG.1", kNow.addHours(-1), 3, "a");
  processLogs(*tp);
  processLogs(*tp);
  flushActivityLog(*tp);
  const std::string log = test::readFile(tp->activityLog.fileName);
  const std::string stale = "SERVICEPROCESSING reads \"True\" but no TRAVIK service is processing";
  ASSERT_NE(log.find(stale), std::string::npos) << log;
  EXPECT_EQ(log.find(stale), log.rfind(stale)) << "reported once per stale episode";
  EXPECT_NE(log.find("Processing complete."), std::string::npos) << log;
  EXPECT_EQ(eventCount(), 3);
  for (const auto& box : tp.host.boxes) EXPECT_EQ(box.text.find("currently processing"), std::string::npos) << box.text;
}

TEST_F(ProcessLogs, AnEmptyTableTakesFilesModifiedWithinTheRetentionPeriod) {
  traceFile("MVLOG.ancient", kNow.addHours(-80), 5, "old");
  const fs::path recent = traceFile("MVLOG.recent", kNow.addHours(-71), 5, "new");
  // A line of the new file from before the retention period is not stored.
  test::writeFile(recent, traceLine(kNow.addHours(-73), 0, 2, "too old") + test::readFile(recent));
  setFileModificationTime(recent, kNow.addHours(-71));
  processLogs(*tp);
  const auto texts = statusTexts();
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Parsing MVLOG.recent..."), 1);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Parsing MVLOG.ancient..."), 0);
  EXPECT_EQ(eventCount(), 5);
}

TEST_F(ProcessLogs, EventsOlderThanTheRetentionPeriodAreDeleted) {
  auto insert = tp->db.prepare("insert into Events values (?1, 0, 1, 1, 'x')");
  insert.bind(1, kNow.addHours(-72).addSeconds(-1).toStored()).run();
  insert.bind(1, kNow.addHours(-72).toStored()).run();
  processLogs(*tp);
  EXPECT_EQ(tp.rows("select Timestamp from Events"), std::vector<std::string>{kNow.addHours(-72).toStored()});
}

TEST_F(ProcessLogs, WithoutTheNewestStoredEventNoFileIsParsed) {
  traceFile("MVLOG.1", kNow.addHours(-1), 3, "a");
  // Sorts after every time stamp, so it is the newest; it reads as no time.
  tp->db.exec("insert into Events values ('not a time', 0, 1, 1, 'x')");
  processLogs(*tp);
  EXPECT_EQ(eventCount(), 1);
  const auto texts = statusTexts();
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Parsing MVLOG.1..."), 0);
  EXPECT_EQ(tp->handledErrorCount, 1);
  EXPECT_TRUE(tp.events.entries.empty());  // nor is the folder blamed with the notice
  EXPECT_EQ(texts.back().rfind("Processing ended with 1 error: some call data", 0), 0u);  // no file was read
}

TEST_F(ProcessLogs, AFileAddedBetweenTheTwoListingsIsParsedAndTheProgressStaysAtItsMaximum) {
  traceFile("MVLOG.1", kNow.addHours(-4), 2, "a");
  traceFile("MVLOG.2", kNow.addHours(-3), 2, "b");
  traceFile("MVLOG.3", kNow.addHours(-2), 2, "c");
  bool added = false;
  tp.host.onYield = [&] {
    if (!added && !tp.host.progressLog.empty() && tp.host.progressLog.back() == "value=0") {
      added = true;
      traceFile("MVLOG.4", kNow.addHours(-1), 2, "d");
    }
  };
  processLogs(*tp);
  const std::vector<std::string> parsing(tp.host.progressLog.begin(), tp.host.progressLog.begin() + 8);
  EXPECT_EQ(parsing, (std::vector<std::string>{"min=0", "max=3", "value=0", "value=1", "value=2", "value=3", "value=3",
                                               "value=0"}));
  EXPECT_EQ(eventCount(), 8);
}

TEST_F(ProcessLogs, ARepeatedRunReadsNoUnchangedFileAndStoresOnlyNewLines) {
  const fs::path first = traceFile("MVLOG.1", kNow.addHours(-2), 4, "a");
  traceFile("MVLOG.2", kNow.addHours(-1), 4, "b");
  processLogs(*tp);
  ASSERT_EQ(eventCount(), 8);

  tp.host = test::FakeHost();
  tp.host.clock = kNow;
  tp.host.database = &tp->db;
  processLogs(*tp);
  ASSERT_EQ(tp.events.entries.size(), 1u);
  EXPECT_EQ(tp.events.entries[0].eventId, 16);
  EXPECT_EQ(eventCount(), 8);

  // The older file touched again: read, yet nothing in it is new.  The newer one grows a tail.
  setFileModificationTime(first, kNow.addMinutes(-1));
  test::writeFile(tp.traceFolder() / "MVLOG.2",
                  test::readFile(tp.traceFolder() / "MVLOG.2") + traceLine(kNow.addMinutes(-2), 0, 9, "tail"));
  setFileModificationTime(tp.traceFolder() / "MVLOG.2", kNow.addMinutes(-2));
  processLogs(*tp);
  EXPECT_EQ(eventCount(), 9);
  EXPECT_EQ(tp.rows("select count(*) from (select distinct Timestamp, Milliseconds, Sequence, Line, Data from Events)"),
            std::vector<std::string>{"9"});
  EXPECT_EQ(tp->highestLineNumber, 9);
}

TEST_F(ProcessLogs, ASecondRunEnteredThroughAYieldIsRefused) {
  traceFile("MVLOG.1", kNow.addHours(-1), 3, "a");
  int nested = 0;
  tp.host.onYield = [&] {
    if (nested++ < 3) processLogs(*tp);
  };
  processLogs(*tp);
  const auto texts = statusTexts();
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Connecting to database..."), 1);
  EXPECT_EQ(eventCount(), 3);
  EXPECT_FALSE(tp->processingLogs);
}

TEST_F(ProcessLogs, WhenTheDatabaseRefusesAFileTheLaterFilesWaitForTheNextRun) {
  traceFile("MVLOG.1", kNow.addHours(-3), 2, "a");
  traceFile("MVLOG.2", kNow.addHours(-2), 2, "b");
  traceFile("MVLOG.3", kNow.addHours(-1), 2, "c");
  tp->db.exec(
      "create trigger refuse before insert on Events when new.Data = 'b1' begin select raise(abort, 'full'); end");
  processLogs(*tp);
  const auto texts = statusTexts();
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Parsing MVLOG.3..."), 0);
  EXPECT_EQ(tp.rows("select Data from Events order by rowid"), (std::vector<std::string>{"a0", "a1"}));
  EXPECT_EQ(tp->handledErrorCount, 1);

  tp->db.exec("drop trigger refuse");
  processLogs(*tp);
  EXPECT_EQ(tp.rows("select Data from Events order by rowid"),
            (std::vector<std::string>{"a0", "a1", "b0", "b1", "c0", "c1"}));
}

void dieNow(sqlite3_context*, int, sqlite3_value**) { ::_exit(3); }

TEST_F(ProcessLogs, ARunKilledInMidFileIsCompletedByTheNextRunWithoutLossOrDoubles) {
  traceFile("MVLOG.1", kNow.addHours(-3), 50, "a");
  traceFile("MVLOG.2", kNow.addHours(-2), 50, "b");
  traceFile("MVLOG.3", kNow.addHours(-1), 50, "c");
  EXPECT_EXIT(
      {
        tp->db.close();
        tp.connect();
        sqlite3_create_function(tp->db.handle(), "die_now", 0, SQLITE_UTF8, nullptr, dieNow, nullptr, nullptr);
        tp.host.onSleep = [&](int milliseconds) {
          // After the run has reconnected: arm the kill for the second file.
          if (milliseconds == 1000 && tp->db.isOpen()) {
            sqlite3_create_function(tp->db.handle(), "die_now", 0, SQLITE_UTF8, nullptr, dieNow, nullptr, nullptr);
            tp->db.exec(
                "create temp trigger if not exists kill before insert on main.Events "
                "when new.Data = 'b25' begin select die_now(); end");
          }
        };
        processLogs(*tp);
        ::_exit(0);
      },
      ::testing::ExitedWithCode(3), "");
  tp->db.close();
  tp.connect();
  EXPECT_EQ(eventCount(), 50);  // the first file only
  processLogs(*tp);
  EXPECT_EQ(tp.rows("select count(*), count(distinct Data) from Events"), std::vector<std::string>{"150|150"});
}

// ---- One run per database, whichever process starts it ----

TEST_F(ProcessLogs, AServiceRunWhileAnotherProcessRunsIsSkippedWithAHandledError) {
  tp.openLog();
  traceFile("MVLOG.1", kNow.addHours(-1), 3, "a");
  test::LockHolder otherRun(platform::processingLockFile(tp->databasePath()));
  ASSERT_EQ(otherRun.result(), platform::LockResult::Taken);

  processLogs(*tp);
  EXPECT_EQ(eventCount(), 0);
  EXPECT_EQ(tp->handledErrorCount, 1);
  EXPECT_TRUE(tp.host.statuses.empty());
  EXPECT_EQ(serviceProcessing(), "False");  // the other run's mark is not touched
  flushActivityLog(*tp);
  EXPECT_NE(test::readFile(tp->activityLog.fileName)
                .find("(error):70 (Another processing run is using " + tp->databasePath().string() +
                      "; this processing cycle is skipped) in procedure processLogs"),
            std::string::npos);

  // The other run's process killed: no lock stays behind.
  otherRun.kill();
  processLogs(*tp);
  EXPECT_EQ(eventCount(), 3);
  EXPECT_EQ(tp->handledErrorCount, 1);
}

TEST_F(ProcessLogsInConsole, AConsoleRunWhileAnotherProcessRunsIsRefusedWithAMessage) {
  traceFile("MVLOG.1", kNow.addHours(-1), 3, "a");
  test::LockHolder otherRun(platform::processingLockFile(tp->databasePath()));
  ASSERT_EQ(otherRun.result(), platform::LockResult::Taken);
  processLogs(*tp);
  ASSERT_EQ(tp.host.boxes.size(), 1u);
  EXPECT_EQ(tp.host.boxes[0].text,
            "The TRAVIK service is currently processing data.  Please try again in a few moments.");
  EXPECT_TRUE(tp.host.statuses.empty());
  EXPECT_EQ(eventCount(), 0);
  EXPECT_EQ(tp->handledErrorCount, 0);

  otherRun.letGo();
  processLogs(*tp);
  EXPECT_EQ(eventCount(), 3);
}

TEST_F(ProcessLogs, ARunHoldsTheDatabaseFromItsStartToItsEnd) {
  traceFile("MVLOG.1", kNow.addHours(-1), 3, "a");
  const fs::path lockFile = platform::processingLockFile(tp->databasePath());
  std::vector<platform::LockResult> seenByAnotherProcess;
  tp.host.onSleep = [&](int) { seenByAnotherProcess.push_back(test::LockHolder(lockFile).result()); };
  processLogs(*tp);
  EXPECT_EQ(eventCount(), 3);
  ASSERT_FALSE(seenByAnotherProcess.empty());
  for (const auto result : seenByAnotherProcess) EXPECT_EQ(result, platform::LockResult::HeldElsewhere);
  EXPECT_EQ(test::LockHolder(lockFile).result(), platform::LockResult::Taken);
}

TEST_F(ProcessLogs, ALockThatCannotBeUsedIsReportedWithItsReasonAndNothingRuns) {
  tp.openLog();
  traceFile("MVLOG.1", kNow.addHours(-1), 3, "a");
  const fs::path lockFile = platform::processingLockFile(tp->databasePath());
  fs::create_directories(lockFile);  // in the way of the lock file
  processLogs(*tp);
  fs::remove(lockFile);
  EXPECT_EQ(eventCount(), 0);
  EXPECT_EQ(tp->handledErrorCount, 1);
  flushActivityLog(*tp);
  const std::string log = test::readFile(tp->activityLog.fileName);
  EXPECT_NE(log.find("(error):75 (the folder " + lockFile.string() + " of "), std::string::npos) << log;
  EXPECT_NE(log.find("; remove it; no processing run is started) in procedure processLogs"), std::string::npos) << log;
}

}  // namespace
}  // namespace travik
