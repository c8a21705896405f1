#include "processing/calls/process_calls.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "processing/calls/call_module.h"
#include "tests/processing/call_trace.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

using test::LineTrace;

const DateTime kStart(2024, 3, 1, 10, 0, 0);

bool inTransaction(Program& program) { return sqlite3_get_autocommit(program.db.handle()) == 0; }

TEST(ProcessCalls, NothingParsedLeavesAtOnce) {
  test::TestProgram program;
  processCalls(*program);
  EXPECT_EQ(program.host.pointers, std::vector<int>{kPointerHourglass});
  EXPECT_TRUE(program.host.sleeps.empty());
}

TEST(ProcessCalls, PausesProgressAndNoTransactionAcrossAPause) {
  test::TestProgram program;
  program.host.progressMaxValue = 0;
  LineTrace(*program, 1, kStart)("Call Received.")("Incoming Call Completed.")("Call Received.");
  LineTrace(*program, 3, kStart)("Call Received.");
  program->highestLineNumber = 3;
  bool heldAcrossPause = false;
  program.host.onSleep = [&](int) { heldAcrossPause |= inTransaction(*program); };
  program.host.onYield = [&] { heldAcrossPause |= inTransaction(*program); };

  processCalls(*program);

  EXPECT_FALSE(heldAcrossPause);
  EXPECT_EQ(program.host.sleeps, (std::vector<int>{3000, 2, 2, 1000, 1000, 2, 1000}));
  EXPECT_EQ(program.host.progressLog,
            (std::vector<std::string>{"min=0", "max=3", "value=0", "value=1", "value=3", "value=0"}));
  ASSERT_EQ(program.host.statuses.size(), 2u);
  EXPECT_EQ(program.host.statuses[0].text, "Processing calls for line 1...");
  EXPECT_EQ(program.host.statuses[1].text, "Processing calls for line 3...");
  EXPECT_EQ(program.host.pointers, (std::vector<int>{kPointerHourglass, kPointerDefault}));
  EXPECT_EQ(program.rows("select line, inbound, callid from calls order by rowid"),
            (std::vector<std::string>{"1|1|03012024.100000.100.001.001", "1|1|03012024.100000.300.001.001",
                                      "3|1|03012024.100000.100.001.003"}));
}

TEST(ProcessCalls, EveryOpeningEventOpensACall) {
  test::TestProgram program;
  LineTrace(*program, 1, kStart)
      // Each outbound opening is followed by the dial result its machine ends the call on.
      .events({"Processing Pending Callout to Node 000123", "Call Status = Busy", "Call received from Serial # 1",
               "Call Out Process Initiated for Node 000123", "Call Status = Busy",
               "Processing messages from node: 55 to 66 Done", "Processing messages from node: 55 to node 66",
               "Call Status = Busy", "Call Status = Busy", "something else", "Call Received."});
  processCalls(*program);
  EXPECT_EQ(program.rows("select inbound, callid from calls order by rowid"),
            (std::vector<std::string>{"0|03012024.100000.100.001.001", "0|03012024.100000.400.001.001",
                                      "0|03012024.100000.700.001.001", "0|03012024.100000.900.001.001",
                                      "1|03012024.100001.100.001.001"}));
  EXPECT_EQ(program->handledErrorCount, 0);
}

// The serials the walk picks for an outbound machine, from a line holding one opening event.
std::pair<std::string, std::string> picked(const std::string& opening, int expectedErrors) {
  test::TestProgram program;
  LineTrace(*program, 1, kStart)(opening);
  CallModule module(*program);
  test::prepareModule(module);
  processCallsForLine(module, 1);
  EXPECT_EQ(program->handledErrorCount, expectedErrors) << opening;
  EXPECT_EQ(program.rows("select count(*) from calls"), std::vector<std::string>{"1"}) << opening;
  return {module.pendingOctelSerial, module.pendingCorvaneSerial};
}

TEST(ProcessCalls, SerialPicksOfTheOutboundOpenings) {
  using Pair = std::pair<std::string, std::string>;
  EXPECT_EQ(picked("Processing Pending Callout to Node 000123", 0), Pair("123", "Unknown"));
  EXPECT_EQ(picked("Call Out Process Initiated for Node 000123 x", 0), Pair("000123", "Unknown"));
  EXPECT_EQ(picked("Processing messages from node: 55 to node 66", 0), Pair("66", "55"));
  EXPECT_EQ(picked("Processing messages from node: 55 to", 1), Pair("Unknown", "55"));
  EXPECT_EQ(picked("Processing messages from node:", 2), Pair("Unknown", "Unknown"));
  EXPECT_EQ(picked("Processing Pending Callout to Node 12x", 1), Pair("Unknown", "Unknown"));
  EXPECT_EQ(picked("Call Status = Busy", 0), Pair("Unknown", "Unknown"));
}

TEST(ProcessCalls, ReadsOnlyEventsAfterTheSecondTheLastCallEnded) {
  test::TestProgram program;
  auto insert = program->db.prepare(
      "insert into calls (timestampbegin, timestampend, callid, inbound, line) values (?, ?, ?, 1, 1)");
  insert.bind(1, "2024-03-01 09:00:00").bind(2, "2024-03-01 10:00:05").bind(3, "older").run();
  // Began earlier but ended later: not the last call of the line.
  insert.bind(1, "2024-03-01 08:00:00").bind(2, "2024-03-01 11:00:00").bind(3, "oldest").run();
  LineTrace trace(*program, 1, DateTime(2024, 3, 1, 10, 0, 5));
  trace("Call Received.", 500);
  trace("Call Received.", 500);
  processCalls(*program);
  EXPECT_EQ(program.rows("select callid from calls where callid like '03%'"),
            std::vector<std::string>{"03012024.100006.000.001.001"});
}

TEST(ProcessCalls, ALineWhoseLastCallIsOpenHasItReplacedByTheWalk) {
  test::TestProgram program;
  program->db.exec(
      "insert into calls (timestampbegin, timestampend, callid, inbound, line) values "
      "('2024-03-01 09:00:00', '2024-03-01 09:10:00', 'ended', 1, 1), "
      "('2024-03-01 09:30:00', null, 'open', 1, 1)");
  LineTrace(*program, 1, kStart)("Call Received.");
  LineTrace(*program, 2, kStart)("Call Received.");
  processCalls(*program);
  EXPECT_EQ(program->handledErrorCount, 0);
  EXPECT_EQ(program.rows("select callid from calls order by rowid"),
            (std::vector<std::string>{"ended", "03012024.100000.100.001.001", "03012024.100000.100.001.002"}));
}

TEST(ProcessCalls, TheHookDropsTheStatementsWhenTheProgramEnds) {
  test::TestProgram program;
  LineTrace(*program, 1, kStart)("Call Received.");
  bool hookSet = false;
  program.host.onSleep = [&](int) { hookSet |= static_cast<bool>(program->closeSharedRecordsets); };
  processCalls(*program);
  EXPECT_TRUE(hookSet);
  EXPECT_FALSE(program->closeSharedRecordsets);
}

}  // namespace
}  // namespace travik
