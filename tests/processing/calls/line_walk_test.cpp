// The line walk over events that arrive over several runs: whatever the
// point at which a run's events end, the next runs leave the same calls,
// tasks, recipients and errors as one run over all of them.
#include "processing/calls/line_walk.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <string>
#include <vector>

#include "platform/db.h"
#include "processing/calls/call_module.h"
#include "processing/calls/process_calls.h"
#include "processing/ingest/stale_data.h"
#include "tests/processing/call_trace.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

using Rows = std::vector<std::string>;

const DateTime kStart(2024, 3, 1, 10, 0, 0);

using test::received;

// One stored event: its line, text and distance in ms from the line's previous event.
struct Event {
  int line;
  std::string text;
  int stepMs = 100;
};
using Piece = std::vector<Event>;

// An inbound call to MESSAGEHEADER_RECEIVED_OK and its end there.
Piece inboundCall(int line) {
  return {{line, "Call Received."}, {line, "Received BD"},
          {line, received(18)},     {line, "Protocol Level = 3"},
          {line, received(16)},     {line, "Call received from Serial # 111 to Serial # 222"},
          {line, received(36)},     {line, "Incoming Call Completed."}};
}

Piece concat(std::initializer_list<Piece> parts) {
  Piece all;
  for (const Piece& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// A program that stores each piece's events and then runs as a processing
// run does: stale data out, calls rebuilt.
class Runs {
 public:
  Runs() { program.host.clock = kStart.addHours(1); }

  void store(const Piece& piece) {
    for (const Event& event : piece) {
      auto found = traces.find(event.line);
      if (found == traces.end())
        found = traces.emplace(event.line, test::LineTrace(*program, event.line, kStart)).first;
      found->second(event.text, event.stepMs);
    }
  }
  void run(const Piece& piece) {
    store(piece);
    ClearDatabases(*program);
    rebuilt.push_back(processCalls(*program));
  }
  // Every row of the call tables, without row ids.
  Rows tables() {
    Rows all;
    for (const char* query :
         {"select * from calls order by callid", "select * from tasks order by taskid",
          "select * from recipients order by taskid, recipient", "select * from errors order by callid"})
      for (const std::string& row : program.rows(query)) all.push_back(row);
    return all;
  }

  test::TestProgram program{false};
  std::map<int, test::LineTrace> traces;
  std::vector<bool> rebuilt;
};

// The tables after one run over every piece, and after one run per piece.
void expectSameAsOneRun(const std::vector<Piece>& pieces, const Rows& expectedCalls) {
  Runs one;
  Piece all;
  for (const Piece& piece : pieces) all.insert(all.end(), piece.begin(), piece.end());
  one.run(all);
  Runs several;
  for (const Piece& piece : pieces) several.run(piece);
  EXPECT_EQ(one.program.rows("select callid, exitcode from calls order by callid"), expectedCalls);
  EXPECT_EQ(several.tables(), one.tables());
  // A last run with nothing new changes nothing.
  const Rows before = several.tables();
  several.run({});
  EXPECT_FALSE(several.rebuilt.back());
  EXPECT_EQ(several.tables(), before);
}

TEST(LineWalk, ACallOpeningInTheSecondThePreviousOneEndedIsRebuilt) {
  // Both calls in one second; the first run ends with the first call.
  expectSameAsOneRun({{{1, "Call Received."}, {1, "Incoming Call Completed."}},
                      {{1, "Call Received."}, {1, "Incoming Call Completed."}}},
                     Rows{"03012024.100000.100.001.001|E00020005", "03012024.100000.300.001.001|E00020005"});
  // The same with the second call opened by a dial result (its machine
  // steps back onto the event before it) and two events in one instant.
  expectSameAsOneRun({{{2, "Call Out Process Initiated for Node 000123 x"}, {2, "Call Status = Busy"}},
                      {{2, "Call Status = Ring", 0}, {2, "Call Status = Busy"}}},
                     Rows{"03012024.100000.100.001.002|E00010003", "03012024.100000.200.001.002|E00010004",
                          "03012024.100000.300.001.002|E00010003"});
}

TEST(LineWalk, ADigitStringCutBetweenItsHalvesIsJudgedOnItsEvents) {
  // The wake-up digits joined from two events: the call ends well.
  const Piece call = inboundCall(1);
  expectSameAsOneRun({{{1, "Call Received."}, {1, "Received BD"}, {1, "Received 5678901234"}},
                      concat({{{1, "Received 56789012"}}, Piece(call.begin() + 3, call.end())})},
                     Rows{"03012024.100000.100.001.001|OK"});
  // A short confirmation followed by more digits is an interdigit time-out,
  // not a string shorter than expected.
  const Piece line3 = inboundCall(3);
  const Piece toConfirmation =
      concat({Piece(line3.begin(), line3.end() - 1), {{3, "New Message from mailbox 100 to mailbox 200"}}});
  expectSameAsOneRun({concat({toConfirmation, {{3, received(40)}}}), {{3, received(6)}}},
                     Rows{"03012024.100000.100.001.003|E00120016"});
}

TEST(LineWalk, EventsEndingAtALookAheadLeaveTheCallOpenWithoutAnError) {
  Runs runs;
  runs.run({{1, "Call Received."}, {1, "Received BD"}, {1, received(10)}});
  EXPECT_EQ(runs.program.rows("select timestampend, exitcode from calls"), Rows{"<null>|<null>"});
  EXPECT_TRUE(runs.program.rows("select * from errors").empty());
  EXPECT_EQ(runs.program->handledErrorCount, 0);
}

TEST(LineWalk, AnUnfinishedCallInTheMiddleOfItsLineIsKept) {
  // A dial result outside the table leaves its call open; finished calls follow it.
  const Piece odd = {{1, "Call Out Process Initiated for Node 000123 x"}, {1, "Call Status = Strange"}};
  expectSameAsOneRun({odd, concat({inboundCall(1), {{1, "Call Received."}}})},
                     Rows{"03012024.100000.100.001.001|<null>", "03012024.100000.300.001.001|OK",
                          "03012024.100001.100.001.001|<null>"});
  expectSameAsOneRun({concat({odd, inboundCall(1)}), {{1, "Call Received."}}, {{1, "Incoming Call Completed."}}},
                     Rows{"03012024.100000.100.001.001|<null>", "03012024.100000.300.001.001|OK",
                          "03012024.100001.100.001.001|E00020005"});
}

TEST(LineWalk, EveryLineWithEventsNotWalkedIsRebuiltWhateverTheParserSaw) {
  Runs runs;
  test::LineTrace(*runs.program, 2, kStart)("Call Received.")("Incoming Call Completed.");
  test::LineTrace(*runs.program, 5, kStart)("Call Received.");
  runs.program->highestLineNumber = 0;  // a program that parsed nothing
  EXPECT_TRUE(processCalls(*runs.program));
  EXPECT_EQ(runs.program.rows("select line, exitcode from calls order by line"), (Rows{"2|E00020005", "5|<null>"}));
  EXPECT_EQ(runs.program.rows("select line, walkedmilliseconds, restartmilliseconds from linewalk order by line"),
            (Rows{"2|200|200", "5|100|<null>"}));
  EXPECT_FALSE(processCalls(*runs.program));
}

// Fails the commit that comes `after` commits from now, once.
struct FailingCommit {
  explicit FailingCommit(Program& program, int after) : handle(program.db.handle()), left(after) {
    sqlite3_commit_hook(handle, &FailingCommit::hook, this);
  }
  ~FailingCommit() { sqlite3_commit_hook(handle, nullptr, nullptr); }
  static int hook(void* self) { return static_cast<FailingCommit*>(self)->left-- == 0 ? 1 : 0; }
  sqlite3* handle;
  int left;
};

TEST(LineWalk, AFailedCommitInAnErrorReportGivesTheLineUpWholeForTheRun) {
  // A protocol level without its word is reported in the middle of the call.
  Piece line1 = inboundCall(1);
  line1[3].text = "Protocol Level =";
  const Piece events = concat({line1, inboundCall(1), inboundCall(2)});
  Runs reference;
  reference.run(events);

  Runs runs;
  runs.store(events);
  {
    FailingCommit failing(*runs.program, 0);
    EXPECT_TRUE(processCalls(*runs.program));
  }
  // Line 1 left nothing behind; line 2 was walked as always.
  EXPECT_EQ(runs.program.rows("select line from calls"), Rows{"2"});
  EXPECT_EQ(runs.program.rows("select line from linewalk"), Rows{"2"});
  EXPECT_EQ(runs.program->handledErrorCount, 2);  // the missing word, then the commit
  // The next run makes the line whole.
  EXPECT_TRUE(processCalls(*runs.program));
  EXPECT_EQ(runs.tables(), reference.tables());
}

TEST(LineWalk, ALineThatCannotGoOnInATransactionAfterAnErrorReportIsTakenBack) {
  Piece line1 = inboundCall(1);
  line1[3].text = "Protocol Level =";
  const Piece events = concat({line1, inboundCall(1)});
  Runs reference;
  reference.run(events);

  Runs runs;
  runs.program.openLog();
  runs.store(events);
  runs.program->db.setBusyTimeout(20);
  // The other program takes the database while the report is written (the
  // line's rows so far are committed) and lets it go at the next report.
  db::Connection other;
  other.open(runs.program->databasePath().string());
  runs.program.host.onYield = [&] {
    if (runs.program.host.boxes.size() == 1 && !other.inTransaction()) other.exec("BEGIN IMMEDIATE");
    if (runs.program.host.boxes.size() == 2 && other.inTransaction()) other.exec("ROLLBACK");
  };
  EXPECT_TRUE(processCalls(*runs.program));
  runs.program.host.onYield = nullptr;
  ASSERT_EQ(runs.program.host.boxes.size(), 2u);
  EXPECT_EQ(runs.program->handledErrorCount, 2);  // the missing word, then the locked database
  EXPECT_TRUE(runs.program.rows("select * from calls").empty());
  EXPECT_TRUE(runs.program.rows("select * from linewalk").empty());
  EXPECT_TRUE(processCalls(*runs.program));
  EXPECT_EQ(runs.tables(), reference.tables());
}

TEST(LineWalk, ACursorOpenedAtAnEventStandsOnItOrBeforeTheFirstLaterOne) {
  test::TestProgram program;
  test::LineTrace trace(*program, 1, kStart);
  trace("a")("b").sameInstant("c");
  trace("d");
  CallModule module(*program);
  test::prepareModule(module);
  const auto rowid = [&](const std::string& data) {
    return std::stoll(program.rows("select rowid from Events where Data = '" + data + "'").at(0));
  };
  EventCursor& events = module.events;
  const std::string second = kStart.toStored();

  events.openAt(1, EventKey{second, 200, 1, rowid("b")});
  EXPECT_EQ(events.current().data, "b");
  events.moveNext();
  EXPECT_EQ(events.current().data, "c");
  // A key whose own event is gone: the cursor stands before the next event.
  events.openAt(1, EventKey{second, 200, 2, rowid("c") + 100});
  ASSERT_FALSE(events.eof());
  events.moveNext();
  EXPECT_EQ(events.current().data, "d");
  events.openAt(1, EventKey{second, 250, 1, 0});
  EXPECT_TRUE(events.bof());
  events.moveNext();
  EXPECT_EQ(events.current().data, "d");
  events.moveNext();
  EXPECT_TRUE(events.eof());
  ASSERT_TRUE(events.lastRead());
  EXPECT_EQ(events.lastRead()->rowid, rowid("d"));
}

}  // namespace
}  // namespace travik
