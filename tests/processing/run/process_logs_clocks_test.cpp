// Runs over a trace folder whose clocks lie: a gateway clock set back, an
// event stamped ahead, file times that say nothing of the order the files
// were written in.  Each case is fed over several runs and must leave the
// rows that one run over the final folder leaves.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "processing/run/process_logs.h"
#include "processing/runtime/file_times.h"
#include "tests/processing/call_trace.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::string>;

const DateTime kNow(2024, 10, 27, 4, 0, 0);

// One trace line as the gateway writes it, CR LF ended.
std::string traceLine(const DateTime& t, int milliseconds, int line, const std::string& text) {
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d-%02d:%02d:%02d.%03d", t.year(), t.month(), t.day(), t.hour(),
                t.minute(), t.second(), milliseconds);
  return std::string(" MVLOG 0000 0000 ") + stamp + " 00000A14 Line " + std::to_string(line) + ": " + text + " \r\n";
}

// A whole inbound call on `line` from `begin`, one event every 100 ms.
std::string inboundCall(const DateTime& begin, int line, const std::string& digits16 = test::received(16)) {
  const std::vector<std::string> texts = {"Call Received.",   "Received BD",
                                          test::received(18), "Protocol Level = 3",
                                          digits16,           "Call received from Serial # 111 to Serial # 222",
                                          test::received(36), "Incoming Call Completed."};
  std::string text;
  for (std::size_t i = 0; i < texts.size(); ++i)
    text +=
        traceLine(begin.addSeconds(static_cast<std::int64_t>(i / 10)), static_cast<int>(i % 10) * 100, line, texts[i]);
  return text;
}

// A program over a trace folder; each file is written whole with the time given.
class Folder {
 public:
  explicit Folder(bool service = true) : program(service) {
    program.host.clock = kNow;
    program.openLog();
  }
  void put(const std::string& name, const std::string& bytes, const DateTime& modified) {
    const fs::path path = program.traceFolder() / name;
    test::writeFile(path, bytes);
    setFileModificationTime(path, modified);
  }
  void run() { processLogs(*program); }
  Rows tables() {
    Rows all;
    for (const char* query :
         {"select Timestamp, Milliseconds, Line, Data from Events order by Timestamp, Milliseconds, Line, Data",
          "select * from calls order by callid", "select * from tasks order by taskid",
          "select * from recipients order by taskid, recipient", "select * from errors order by callid",
          "select * from linesummary order by 1"})
      for (const std::string& row : program.rows(query)) all.push_back(row);
    return all;
  }
  Rows calls() { return program.rows("select callid, timestampend is not null, exitcode from calls order by callid"); }

  test::TestProgram program;
};

// The rows of one run over the final folder and a run that finds nothing new.
template <class Fill>
Rows oneRun(Fill fill) {
  Folder whole;
  fill(whole);
  whole.run();
  whole.run();
  return whole.tables();
}

TEST(ClocksThatLie, AnHourRepeatedByAClockSetBackIsWalkedInItsPlaceAmongTheEventsOfTheFirstPass) {
  const DateTime first(2024, 10, 27, 2, 10, 0);
  // Before the clock falls back: calls at 02:10 and 02:40 on both lines;
  // after it: calls stamped 02:20 and 02:50, written an hour later.
  const std::string before = inboundCall(first, 1) + inboundCall(first, 2) + inboundCall(first.addMinutes(30), 1) +
                             inboundCall(first.addMinutes(30), 2);
  const std::string after = inboundCall(first.addMinutes(10), 1) + inboundCall(first.addMinutes(10), 2) +
                            inboundCall(first.addMinutes(40), 1) + inboundCall(first.addMinutes(40), 2);
  auto fill = [&](Folder& folder, bool both) {
    folder.put("MVLOG.1", before, first.addMinutes(31));
    if (both) folder.put("MVLOG.2", after, first.addMinutes(41));
  };
  const Rows expected = oneRun([&](Folder& f) { fill(f, true); });

  Folder pieces;
  fill(pieces, false);
  pieces.run();
  fill(pieces, true);
  pieces.run();
  pieces.run();
  EXPECT_EQ(pieces.tables(), expected);
  EXPECT_EQ(pieces.calls(), (Rows{"10272024.021000.000.001.001|1|OK", "10272024.021000.000.001.002|1|OK",
                                  "10272024.022000.000.001.001|1|OK", "10272024.022000.000.001.002|1|OK",
                                  "10272024.024000.000.001.001|1|OK", "10272024.024000.000.001.002|1|OK",
                                  "10272024.025000.000.001.001|1|OK", "10272024.025000.000.001.002|1|OK"}));
}

TEST(ClocksThatLie, AnEventStampedAheadNeitherStallsTheLineNorHidesTheEventsStoredAfterIt) {
  const DateTime first(2024, 10, 27, 3, 0, 0);
  const std::string ahead = traceLine(first.addHours(23), 0, 1, "Call Status = Busy");
  const std::vector<std::string> parts = {inboundCall(first, 1) + ahead, inboundCall(first.addMinutes(5), 1),
                                          inboundCall(first.addMinutes(10), 1) + inboundCall(first.addMinutes(10), 2)};
  std::string all;
  for (const std::string& part : parts) all += part;
  const Rows expected = oneRun([&](Folder& f) { f.put("MVLOG.1", all, first.addHours(23)); });

  Folder pieces;
  std::string written;
  for (const std::string& part : parts) {
    written += part;
    pieces.put("MVLOG.1", written, first.addHours(23));
    pieces.run();
  }
  pieces.run();
  EXPECT_EQ(pieces.tables(), expected);
  const Rows calls = pieces.calls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0], "10272024.030000.000.001.001|1|OK");
  EXPECT_EQ(calls[1], "10272024.030500.000.001.001|1|OK");
  EXPECT_EQ(calls[2], "10272024.031000.000.001.001|1|OK");
  EXPECT_EQ(calls[3], "10272024.031000.000.001.002|1|OK");
  EXPECT_EQ(calls[4].substr(0, 27), "10282024.020000.000.001.001");  // the call the stamp ahead opens, last
}

TEST(ClocksThatLie, ACutDigitStringBesideAFreshlyCopiedOlderFileWaitsForItsLineEnd) {
  const DateTime first(2024, 10, 27, 3, 0, 0);
  const std::string older = inboundCall(first, 1);
  const std::string live = inboundCall(first.addMinutes(5), 1, "Received 9911599536598273");
  const std::size_t cut = live.find("Received 991") + std::string("Received 991").size();
  auto fill = [&](Folder& folder, std::size_t upTo) {
    folder.put("MVLOG.1", older, first.addSeconds(1));
    folder.put("MVLOG.2", live.substr(0, upTo), first.addMinutes(5));
    // A copy made now, of the older file, without its time.
    folder.put("MVLOG.1 - Copy", older, kNow);
  };
  const Rows expected = oneRun([&](Folder& f) { fill(f, live.size()); });

  Folder pieces;
  fill(pieces, cut);
  pieces.run();
  pieces.run();  // the live file unchanged: still the copy is no sign that the gateway moved on
  EXPECT_EQ(pieces.program.rows("select Data from Events where Data like 'Received 991%'"), Rows{});
  fill(pieces, live.size());
  pieces.run();
  pieces.run();
  EXPECT_EQ(pieces.tables(), expected);
  EXPECT_EQ(pieces.program.rows("select Data from Events where Data like 'Received 991%'"),
            Rows{"Received 9911599536598273"});
  EXPECT_EQ(pieces.calls(), (Rows{"10272024.030000.000.001.001|1|OK", "10272024.030500.000.001.001|1|OK"}));
}

TEST(ClocksThatLie, ALastLineWithoutItsLineEndWaitsUntilAFileBeginsAfterIt) {
  const DateTime first(2024, 10, 27, 3, 0, 0);
  const std::string lines = inboundCall(first, 1);
  const std::string cutLine = traceLine(first.addSeconds(5), 0, 1, "Call Received.");
  Folder folder;
  folder.put("MVLOG.1", lines + cutLine.substr(0, cutLine.size() - 2), first.addSeconds(5));
  // Touched, and an hour later as the repeated hour makes it: neither is a sign.
  folder.put("MVLOG.0", traceLine(first.addSeconds(-30), 0, 2, "Call Received."), kNow);
  for (int i = 0; i < 3; ++i) folder.run();
  EXPECT_EQ(folder.program.rows("select count(*) from Events where Line = 1"), Rows{"8"});
  // The gateway's next file, begun after the cut line: the line is complete.
  folder.put("MVLOG.2", traceLine(first.addSeconds(6), 0, 2, "Call Received."), first.addSeconds(6));
  folder.run();
  EXPECT_EQ(folder.program.rows("select count(*) from Events where Line = 1"), Rows{"9"});
}

}  // namespace
}  // namespace travik
