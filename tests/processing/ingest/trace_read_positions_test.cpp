// Reading a trace folder that the gateway is still writing: each file is read
// from where the previous run left it, complete lines only, and every event
// is stored once however the runs cut the folder.
#include "processing/ingest/trace_read_positions.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "processing/ingest/trace_log_parser.h"
#include "processing/run/process_logs.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/database_schema.h"
#include "processing/runtime/file_times.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;

// The clock of every run here; far from a daylight-saving change.
const DateTime kNow(2024, 6, 12, 12, 0, 0);

std::string traceLine(const DateTime& t, int milliseconds, int line, const std::string& text,
                      const char* end = "\r\n") {
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d-%02d:%02d:%02d.%03d", t.year(), t.month(), t.day(), t.hour(),
                t.minute(), t.second(), milliseconds);
  return std::string(stamp) + " 00000000 Line " + std::to_string(line) + ": " + text + end;
}

class ReadPositions : public ::testing::Test {
 protected:
  ReadPositions() {
    tp.host.clock = kNow;
    tp.openLog();
  }

  fs::path put(const std::string& name, const std::string& bytes, const DateTime& modified) {
    const fs::path path = tp.traceFolder() / name;
    test::writeFile(path, bytes);
    setFileModificationTime(path, modified);
    return path;
  }
  fs::path append(const std::string& name, const std::string& bytes, const DateTime& modified) {
    const fs::path path = tp.traceFolder() / name;
    return put(name, (fs::exists(path) ? test::readFile(path) : std::string()) + bytes, modified);
  }
  void run() { processLogs(*tp); }
  std::vector<std::string> events() {
    return tp.rows("select Timestamp, Milliseconds, Sequence, Line, Data from Events order by rowid");
  }
  std::vector<std::string> texts() { return tp.rows("select Data from Events order by rowid"); }
  std::string log() {
    flushActivityLog(*tp);
    return test::readFile(tp->activityLog.fileName);
  }
  int notices() {
    return static_cast<int>(std::count_if(tp.events.entries.begin(), tp.events.entries.end(),
                                          [](const auto& entry) { return entry.eventId == 16; }));
  }

  test::TestProgram tp;
  const DateTime t0 = kNow.addHours(-1);
};

TEST_F(ReadPositions, ALineCutByTheGatewayIsStoredWholeOnceItsLineEndArrives) {
  const std::string whole = traceLine(t0, 0, 1, "Receive text name for mailbox 1234");
  append("MVLOG.1", traceLine(t0, 0, 2, "first") + whole.substr(0, 50), t0);
  run();
  EXPECT_EQ(texts(), std::vector<std::string>{"first"});

  append("MVLOG.1", whole.substr(50, whole.size() - 51), t0);  // all but the LF of its CR LF
  run();
  EXPECT_EQ(texts(), std::vector<std::string>{"first"});
  EXPECT_EQ(notices(), 1);  // a CR alone at the end completes nothing yet

  append("MVLOG.1", "\n", t0);
  run();
  EXPECT_EQ(texts(), (std::vector<std::string>{"first", "Receive text name for mailbox 1234"}));
  run();
  EXPECT_EQ(notices(), 2);
  EXPECT_EQ(tp->handledErrorCount, 0);
}

TEST_F(ReadPositions, ALastLineWithoutItsLineEndIsTakenOnceANewerFileExists) {
  put("MVLOG.1", traceLine(t0, 0, 1, "a") + traceLine(t0, 1, 1, "b", ""), t0);
  run();
  EXPECT_EQ(texts(), std::vector<std::string>{"a"});
  put("MVLOG.2", traceLine(t0.addSeconds(1), 0, 1, "c") + traceLine(t0.addSeconds(1), 1, 1, "d", ""), t0.addSeconds(1));
  run();
  EXPECT_EQ(texts(), (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(ReadPositions, EventsOfTheNewestStoredMillisecondAreNotDroppedAndKeepTheirSequence) {
  // Two events of one millisecond on line 1 with the same text are two events.
  const std::string first = traceLine(t0, 500, 1, "Received 1") + traceLine(t0, 500, 2, "other line");
  const std::string second = traceLine(t0, 500, 1, "Received 1") + traceLine(t0, 500, 3, "third");
  append("MVLOG.1", first, t0);
  run();
  append("MVLOG.1", second, t0);  // modified in the same second as the newest stored event
  run();
  EXPECT_EQ(events(), (std::vector<std::string>{
                          "2024-06-12 11:00:00|500|1|1|Received 1", "2024-06-12 11:00:00|500|2|2|other line",
                          "2024-06-12 11:00:00|500|3|1|Received 1", "2024-06-12 11:00:00|500|4|3|third"}));
}

TEST_F(ReadPositions, EventsStampedLaterThanADayAheadAreReportedOnceAndBarNothing) {
  append("MVLOG.1",
         traceLine(kNow.addHours(25), 0, 1, "damaged") + traceLine(kNow.addHours(23), 0, 1, "clock ahead") +
             traceLine(t0, 0, 1, "after"),
         t0);
  run();
  EXPECT_EQ(texts(), (std::vector<std::string>{"clock ahead", "after"}));
  EXPECT_EQ(tp->handledErrorCount, 1);
  EXPECT_NE(log().find("(error):5 (1 trace line of MVLOG.1 is stamped more than a day after the program's clock and "
                       "was not stored) in procedure ProcessLogFile"),
            std::string::npos);

  append("MVLOG.1", traceLine(t0.addSeconds(1), 0, 1, "later"), t0.addSeconds(1));
  run();
  EXPECT_EQ(texts(), (std::vector<std::string>{"clock ahead", "after", "later"}));
  EXPECT_EQ(tp->handledErrorCount, 1);
}

TEST_F(ReadPositions, StampsThatGoBackAreStoredInFileAndAcrossRuns) {
  append("MVLOG.1", traceLine(t0.addMinutes(30), 0, 1, "b") + traceLine(t0, 0, 1, "a again"), t0.addMinutes(30));
  run();
  append("MVLOG.1", traceLine(t0.addMinutes(10), 0, 1, "c after the clock went back"), t0.addMinutes(30));
  run();
  EXPECT_EQ(texts(), (std::vector<std::string>{"b", "a again", "c after the clock went back"}));
}

TEST_F(ReadPositions, AnHourRepeatedByAClockSetBackIsStoredWholeAndItsCopyAddsNothing) {
  const std::string firstPass = traceLine(t0, 123, 1, "Call Received.") + traceLine(t0.addMinutes(59), 0, 1, "a");
  const std::string secondPass = traceLine(t0, 123, 1, "Call Received.") + traceLine(t0.addMinutes(1), 0, 1, "b");
  append("MVLOG.1", firstPass, t0.addMinutes(59));
  run();
  append("MVLOG.1", secondPass, t0.addMinutes(59));
  run();
  EXPECT_EQ(texts(), (std::vector<std::string>{"Call Received.", "a", "Call Received.", "b"}));
  put("MVLOG.copy", firstPass + secondPass, t0.addMinutes(60));
  run();
  EXPECT_EQ(texts().size(), 4u);
}

TEST_F(ReadPositions, ACopyOrAnExportInTheTraceFolderAddsNothing) {
  const std::string bytes =
      traceLine(t0, 0, 1, "Call Received.") + traceLine(t0, 0, 1, "Call Received.") + traceLine(t0, 5, 2, "x");
  put("MVLOG.1", bytes, t0);
  run();
  ASSERT_EQ(events().size(), 3u);
  put("MVLOG.1.copy", bytes, t0.addSeconds(1));
  put("MVLOG.TRAVIK.export.log",
      " MVLOG 0000 0000 2024/06/12-11:00:00.000 00000000 Line 1: Call Received. \r\n"
      " MVLOG 0000 0000 2024/06/12-11:00:00.005 00000000 Line 2: x \r\n",
      t0.addSeconds(2));
  run();
  EXPECT_EQ(events().size(), 3u);

  // An event counts as stored as often as it is stored: a third occurrence is new.
  put("MVLOG.2", traceLine(t0, 0, 1, "Call Received.") + bytes, t0.addSeconds(3));
  run();
  EXPECT_EQ(tp.rows("select count(*) from Events where Data = 'Call Received.'"), std::vector<std::string>{"3"});
  EXPECT_EQ(events().size(), 4u);
}

TEST_F(ReadPositions, AFileReplacedUnderItsNameIsReadFromItsStart) {
  put("MVLOG.1", traceLine(t0, 0, 1, "old a") + traceLine(t0, 1, 1, "old b"), t0);
  run();
  put("MVLOG.1",
      traceLine(t0.addSeconds(5), 0, 1, "new a") + traceLine(t0.addSeconds(5), 1, 1, "new b") +
          traceLine(t0.addSeconds(5), 2, 1, "new c"),
      t0.addSeconds(5));
  run();
  EXPECT_EQ(texts(), (std::vector<std::string>{"old a", "old b", "new a", "new b", "new c"}));
}

TEST_F(ReadPositions, AnUnreadableFileIsReportedOnceAndReadWhenItCanBe) {
  put("MVLOG.1", traceLine(t0, 0, 1, "older"), t0);
  put("MVLOG.2", traceLine(t0.addSeconds(1), 0, 1, "newer"), t0.addSeconds(1));
  bool locked = true;
  tp->openTraceFile = [&](const fs::path& path, int flags) {
    if (locked && path.filename() == "MVLOG.1") {
      errno = EACCES;
      return -1;
    }
    return ::open(path.c_str(), flags);
  };
  run();
  EXPECT_EQ(texts(), std::vector<std::string>{"newer"});
  EXPECT_EQ(tp->handledErrorCount, 1);
  EXPECT_NE(log().find("(error):70 (filesystem error: cannot open the trace file: Permission denied [" +
                       (tp.traceFolder() / "MVLOG.1").string() + "]) in procedure ProcessLogFile"),
            std::string::npos)
      << log();
  // The calls of what is stored are still rebuilt.
  EXPECT_NE(log().find("Processing calls for line 1..."), std::string::npos);

  run();
  EXPECT_EQ(tp->handledErrorCount, 1);
  locked = false;
  run();
  EXPECT_EQ(texts(), (std::vector<std::string>{"newer", "older"}));
  EXPECT_EQ(tp->handledErrorCount, 1);
}

TEST_F(ReadPositions, AFileWithoutReadPermissionWaitsForIt) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads a file of mode 000; the open seam covers this case";
  const fs::path older = put("MVLOG.1", traceLine(t0, 0, 1, "older"), t0);
  put("MVLOG.2", traceLine(t0.addSeconds(1), 0, 1, "newer"), t0.addSeconds(1));
  fs::permissions(older, fs::perms::none);
  run();
  EXPECT_EQ(texts(), std::vector<std::string>{"newer"});
  fs::permissions(older, fs::perms::owner_read | fs::perms::owner_write);
  run();
  EXPECT_EQ(texts(), (std::vector<std::string>{"newer", "older"}));
  EXPECT_EQ(tp->handledErrorCount, 1);
}

TEST_F(ReadPositions, AFifoPutInPlaceOfATraceFileIsSkippedWithoutBlocking) {
  put("MVLOG.1", traceLine(t0, 0, 1, "a"), t0);
  const fs::path second = put("MVLOG.2", traceLine(t0.addSeconds(1), 0, 1, "b"), t0.addSeconds(1));
  put("MVLOG.3", traceLine(t0.addSeconds(2), 0, 1, "c"), t0.addSeconds(2));
  // Between the listing and the parse of the file.
  tp.host.onYield = [&] {
    if (tp->statusMessage == "Parsing MVLOG.2..." && fs::is_regular_file(second)) {
      fs::remove(second);
      ASSERT_EQ(::mkfifo(second.c_str(), 0600), 0);
    }
  };
  run();
  EXPECT_EQ(texts(), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(tp->handledErrorCount, 1);
  EXPECT_NE(log().find("(error):75 (MVLOG.2 is not a regular file, not read) in procedure ProcessLogFile"),
            std::string::npos);
}

TEST_F(ReadPositions, ALinkAmongTheTraceFilesIsNamedOnceAndNeverReadInAFolderBehindALink) {
  test::writeFile(tp.folder() / "elsewhere", traceLine(t0, 0, 1, "not for the database"));
  fs::create_symlink(tp.folder() / "elsewhere", tp.traceFolder() / "MVLOG.1");
  put("MVLOG.2", traceLine(t0.addSeconds(1), 0, 1, "b"), t0.addSeconds(1));
  fs::create_directory_symlink(tp.traceFolder(), tp.folder() / "linked");
  tp->settings.logPath = (tp.folder() / "linked").string();
  run();
  run();
  EXPECT_EQ(texts(), std::vector<std::string>{"b"});
  EXPECT_EQ(tp->handledErrorCount, 1);
  EXPECT_NE(log().find("(error):75 (MVLOG.1 is a symbolic link, not a trace file; not read)"), std::string::npos);
}

TEST_F(ReadPositions, ADamagedLineIsReportedByTheRunThatReadsItOnly) {
  append("MVLOG.1", traceLine(t0, 0, 1, "good") + "2024/02/30-11:00:00.000 00000000 Line 1: bad date\r\n", t0);
  run();
  EXPECT_EQ(tp->handledErrorCount, 1);
  append("MVLOG.1", traceLine(t0.addSeconds(1), 0, 1, "more"), t0.addSeconds(1));
  run();
  EXPECT_EQ(texts(), (std::vector<std::string>{"good", "more"}));
  EXPECT_EQ(tp->handledErrorCount, 1);
}

TEST_F(ReadPositions, WhenTheNewestStoredEventCannotBeReadThatIsReportedInsteadOfTheNotice) {
  tp->db.exec("insert into Events values ('not a time', 0, 1, 1, 'damaged row')");
  put("MVLOG.1", traceLine(t0, 0, 1, "a"), t0);
  run();
  EXPECT_EQ(notices(), 0);
  EXPECT_EQ(log().find("All MVLOG.* files found"), std::string::npos);
  EXPECT_NE(log().find("(error):13 (Type mismatch: stored event time not a time) in procedure processLogs"),
            std::string::npos);
}

TEST_F(ReadPositions, PositionsOfFilesGoneOrOlderThanTheRetentionAreForgotten) {
  put("MVLOG.1", traceLine(t0, 0, 1, "a"), t0);
  put("MVLOG.2", traceLine(t0, 1, 1, "b"), t0.addSeconds(1));
  run();
  EXPECT_EQ(tp.rows("select count(*) from tracereadpositions"), std::vector<std::string>{"2"});
  fs::remove(tp.traceFolder() / "MVLOG.1");
  tp.host.clock = t0.addHours(72).addSeconds(1);  // MVLOG.2 is just older than the retention
  run();
  EXPECT_TRUE(tp.rows("select path from tracereadpositions").empty());
}

TEST_F(ReadPositions, ADatabaseFromBeforeReadPositionsGetsTheirTable) {
  tp->db.exec("drop table tracereadpositions");
  tp->db.exec("PRAGMA user_version = 0");
  ASSERT_EQ(schema::bringUpToDate(tp->db).outcome, schema::Upgrade::Upgraded);
  put("MVLOG.1", traceLine(t0, 0, 1, "a"), t0);
  run();
  run();
  EXPECT_EQ(texts(), std::vector<std::string>{"a"});
  EXPECT_EQ(tp->handledErrorCount, 0);
}

TEST_F(ReadPositions, ForgettingEveryPositionReadsTheFilesAgain) {
  put("MVLOG.1", traceLine(t0, 0, 1, "a"), t0);
  run();
  tp->db.exec("delete from Events");
  clearTraceReadPositions(tp->db);
  run();
  EXPECT_EQ(texts(), std::vector<std::string>{"a"});
}

// A trace with the cases a live folder meets: events of one millisecond on
// several lines, the same event twice in a millisecond, damaged and foreign
// lines, a clock that steps back.
std::string generatedTrace(std::mt19937& random, const DateTime& start, std::vector<std::size_t>& lineEnds) {
  const std::vector<std::string> texts = {"Call Received.", "Received 1", "Call Status = 3", "x"};
  std::string bytes;
  DateTime time = start;
  int millisecond = 0;
  for (int i = 0; i < 160; ++i) {
    switch (random() % 6) {
      case 0: break;  // the same millisecond
      case 1: millisecond = (millisecond + 1) % 1000; break;
      case 2: time = time.addSeconds(1); break;
      case 3: time = time.addSeconds(random() % 3 == 0 ? -2 : 3); break;
      default: millisecond = static_cast<int>(random() % 1000); break;
    }
    const int line = static_cast<int>(random() % 3) + 1;
    switch (random() % 20) {
      case 0: bytes += "2024/02/30-11:00:00.000 00000000 Line 1: damaged\r\n"; break;
      case 1: bytes += "not a trace line\n"; break;
      default: bytes += traceLine(time, millisecond, line, texts[random() % texts.size()]); break;
    }
    lineEnds.push_back(bytes.size());
  }
  return bytes;
}

// TRAVIK_PIECE_SEEDS=N tries seeds 1 to N (default 4).
TEST(ReadPositionsInPieces, AnyCutsStoreTheEventsThatOneRunStores) {
  const char* seeds = std::getenv("TRAVIK_PIECE_SEEDS");
  const std::uint32_t lastSeed = seeds ? static_cast<std::uint32_t>(std::strtoul(seeds, nullptr, 10)) : 4;
  for (std::uint32_t seed = 1; seed <= lastSeed; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::vector<std::size_t> lineEnds;
    const DateTime start = kNow.addHours(-2);
    const std::string trace = generatedTrace(random, start, lineEnds);
    // Roll-overs at line ends: file i holds [rolls[i], rolls[i+1]).
    std::vector<std::size_t> rolls = {0, lineEnds[random() % lineEnds.size()], lineEnds[random() % lineEnds.size()]};
    std::sort(rolls.begin(), rolls.end());
    rolls.push_back(trace.size());
    // Fills a folder with the trace up to byte `upTo`.
    auto fill = [&](test::TestProgram& tp, std::size_t upTo) {
      for (std::size_t file = 0; file + 1 < rolls.size(); ++file) {
        if (rolls[file] >= upTo && file > 0) break;
        const fs::path path = tp.traceFolder() / ("MVLOG." + std::to_string(file));
        test::writeFile(path, trace.substr(rolls[file], std::min(upTo, rolls[file + 1]) - rolls[file]));
        setFileModificationTime(path, start.addSeconds(static_cast<std::int64_t>(file)));
      }
    };
    test::TestProgram whole;
    whole.host.clock = kNow;
    fill(whole, trace.size());
    processLogs(*whole);

    test::TestProgram pieces;
    pieces.host.clock = kNow;
    std::vector<std::size_t> cuts;
    for (int i = 0; i < 6; ++i) cuts.push_back(random() % trace.size());
    std::sort(cuts.begin(), cuts.end());
    cuts.push_back(trace.size());
    for (const std::size_t cut : cuts) {
      fill(pieces, cut);
      processLogs(*pieces);
    }
    const std::string events = "select Timestamp, Milliseconds, Sequence, Line, Data from Events order by rowid";
    EXPECT_EQ(pieces.rows(events), whole.rows(events));
    const auto before = pieces.rows(events);
    processLogs(*pieces);
    EXPECT_EQ(pieces.rows(events), before);
  }
}

}  // namespace
}  // namespace travik
