#include "processing/process_summary.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/db.h"
#include "tests/processing/summary_fixtures.h"

namespace travik {
namespace {

using test::CallRow;
using test::failedCall;
using test::insertCalls;
using test::openCall;

class ProcessSummary : public ::testing::Test {
 protected:
  ProcessSummary() {
    t.host.clock = DateTime(2024, 3, 10, 10, 0, 0);
    t.openLog();
  }
  test::TestProgram t;
};

TEST_F(ProcessSummary, WithoutCallsTheTablesStayEmptyAndTheStatusesFollowInOrder) {
  processSummaryData(*t);
  EXPECT_TRUE(t.rows("select * from linesummary").empty());
  EXPECT_TRUE(t.rows("select * from octelsummary").empty());
  ASSERT_EQ(t.host.statuses.size(), 3u);
  EXPECT_EQ(t.host.statuses[0].text, "Calculating per line totals...");
  EXPECT_EQ(t.host.statuses[1].text, "Calculating per node totals...");
  EXPECT_EQ(t.host.statuses[2].text, "Generating reports...");
  for (const auto& status : t.host.statuses) EXPECT_EQ(status.colour, StatusColour::Progress);
  EXPECT_EQ(t->statusMessage, "Generating reports...");

  const std::string log = test::activityLogText(t);
  const auto lines = log.find("3/10/2024 10:00:00 AM: Calculating per line totals...\r\n");
  const auto nodes = log.find("3/10/2024 10:00:00 AM: Calculating per node totals...\r\n");
  const auto reports = log.find("3/10/2024 10:00:00 AM: Generating reports...\r\n");
  ASSERT_NE(lines, std::string::npos);
  EXPECT_LT(lines, nodes);
  EXPECT_LT(nodes, reports);
  EXPECT_NE(reports, std::string::npos);
  EXPECT_EQ(test::occurrences(log, "Calculating per line totals..."), 1);
  EXPECT_EQ(t->handledErrorCount, 0);
}

TEST_F(ProcessSummary, OneRowPerLineAndNodeWithUnidentifiedNodesSharingUnknown) {
  std::vector<CallRow> calls;
  for (int i = 0; i < 10; ++i) calls.push_back(CallRow{.line = i % 2 ? 1 : 3, .node = i < 4 ? "40712" : "Unknown"});
  insertCalls(*t, calls);
  processSummaryData(*t);
  EXPECT_EQ(t.rows("select line, calls from linesummary order by line"), (std::vector<std::string>{"1|5", "3|5"}));
  EXPECT_EQ(t.rows("select octelserialnumber, calls from octelsummary order by octelserialnumber"),
            (std::vector<std::string>{"40712|4", "Unknown|6"}));
}

TEST_F(ProcessSummary, TotalsAgreeWithTheCallsTheyAreBuiltFrom) {
  std::vector<CallRow> calls;
  unsigned seed = 7;
  auto next = [&](unsigned bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % bound;
  };
  const char* nodes[] = {"40712", "40713", "Unknown", "AB12"};
  for (int i = 0; i < 300; ++i) {
    CallRow call;
    call.line = 1 + static_cast<int>(next(12));
    call.node = nodes[next(4)];
    switch (next(4)) {
      case 0: call = failedCall(call.line, call.node, "2024-03-10 0" + std::to_string(next(10)) + ":00:00"); break;
      case 1: call = openCall(call.line, call.node); break;
      default: call.exitCode = next(2) ? "OK" : "OK (NO INIT)"; break;
    }
    if (call.exitCode) call.duration = static_cast<int>(next(900));
    for (auto& counter : call.counters) counter = static_cast<int>(next(5));
    call.ignoreError = next(5) == 0;
    calls.push_back(call);
  }
  insertCalls(*t, calls);
  processSummaryData(*t);

  const std::string sums =
      "count(*), count(case when exitcode like 'E%' then 1 end), coalesce(sum(durationInSeconds), 0),"
      " sum(msgsendattempt), sum(msgsendsuccess), sum(msgreceiveattempt), sum(msgreceivesuccess),"
      " sum(numberrecipientssent), sum(adminnamesrequested), sum(textnamesreceived), sum(voicenamesreceived),"
      " sum(adminnamerequestsrecd), sum(textnamessent), sum(voicenamessent)";
  const std::string columns =
      "calls, errors, timeinuseInSeconds, msgsendattempt, msgsendsuccess, msgreceiveattempt, msgreceivesuccess,"
      " numberrecipientssent, adminnamesrequested, textnamesreceived, voicenamesreceived, adminnamerequestsrecd,"
      " textnamessent, voicenamessent";
  EXPECT_EQ(t.rows("select line, " + columns + " from linesummary order by line"),
            t.rows("select line, " + sums + " from calls group by line order by line"));
  EXPECT_EQ(t.rows("select octelserialnumber, " + columns + " from octelsummary order by octelserialnumber"),
            t.rows("select octelserialnumber, " + sums + " from calls group by octelserialnumber order by 1"));
  // The grand totals agree both ways too.
  EXPECT_EQ(t.rows("select sum(calls), sum(errors), sum(timeinuseInSeconds) from linesummary"),
            t.rows("select sum(calls), sum(errors), sum(timeinuseInSeconds) from octelsummary"));
  EXPECT_EQ(t.rows("select sum(calls) from linesummary"), std::vector<std::string>{"300"});
  EXPECT_EQ(t->handledErrorCount, 0);
}

TEST_F(ProcessSummary, ThresholdEntriesReachTheEventLogOnlyWhereTheGatewayIsInstalled) {
  insertCalls(*t, {failedCall(1, "40712"), failedCall(1, "40712"), failedCall(1, "40712")});
  processSummaryData(*t);
  ASSERT_EQ(t.events.entries.size(), 1u);
  EXPECT_EQ(t.events.entries[0].eventId, 6);
  EXPECT_EQ(t.events.entries[0].kind, platform::EventKind::Warning);
  EXPECT_EQ(t.events.entries[0].source, "TRAVIK Service");

  test::TestProgram console(false);
  console->gatewayNotInstalled = true;
  console.host.clock = t.host.clock;
  insertCalls(*console, {failedCall(1, "40712"), failedCall(1, "40712"), failedCall(1, "40712")});
  processSummaryData(*console);
  EXPECT_TRUE(console.events.entries.empty());
  EXPECT_EQ(console.rows("select errorswithininterval from octelsummary"), std::vector<std::string>{"3"});
  EXPECT_EQ(console.host.statuses.back().text, "Generating reports...");
}

TEST_F(ProcessSummary, ContentionDuringTheTotalsLeavesTheRestOfTheRunToFollow) {
  insertCalls(*t, {failedCall(1, "40712"), failedCall(2, "40713")});
  t->db.exec("insert into excludefromeventviewer (serialno) values ('40712')");
  t->db.setBusyTimeout(20);
  // The other program takes the database while this one yields, once the
  // summary rows exist.
  db::Connection other;
  other.open(t->databasePath().string());
  bool locked = false;
  t.host.onYield = [&] {
    if (locked) return;
    auto rows = other.prepare("select count(*) from linesummary");
    rows.step();
    if (rows.getInt(0) == 0) return;
    rows.reset();
    other.exec("BEGIN IMMEDIATE");
    locked = true;
  };
  processSummaryData(*t);
  t.host.onYield = nullptr;
  other.exec("ROLLBACK");

  ASSERT_TRUE(locked);
  EXPECT_EQ(t->handledErrorCount, 0);
  const std::string log = test::activityLogText(t);
  EXPECT_EQ(test::occurrences(log, "Database contention between TRAVIK admin and TRAVIK service"), 2);
  EXPECT_EQ(test::occurrences(log, "(error):-2147217887 ("), 2);
  // The threshold warnings and the reports still follow.
  const auto excluded =
      log.find("40712 is configured for exclusion from threshold violation Event Viewer notification.");
  EXPECT_NE(excluded, std::string::npos);
  EXPECT_LT(log.rfind("TRAVIK service will now exit this processing cycle"), excluded);
  EXPECT_LT(excluded, log.find("Generating reports..."));
  EXPECT_EQ(t.rows("select line, calls from linesummary order by line"), (std::vector<std::string>{"1|0", "2|0"}));
}

}  // namespace
}  // namespace travik
