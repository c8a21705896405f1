#include "processing/summary_totals.h"

#include <gtest/gtest.h>

#include "platform/db.h"
#include "processing/process_summary.h"
#include "tests/processing/summary_fixtures.h"

namespace travik {
namespace {

using test::CallRow;
using test::failedCall;
using test::insertCalls;
using test::openCall;

TEST(ErrorPercent, RoundsWholeNumbersHalfToEvenAndIsZeroWithoutCounts) {
  EXPECT_EQ(errorPercent(1, 8), 12);   // 12.5
  EXPECT_EQ(errorPercent(3, 8), 38);   // 37.5
  EXPECT_EQ(errorPercent(1, 200), 0);  // 0.5
  EXPECT_EQ(errorPercent(3, 200), 2);  // 1.5
  EXPECT_EQ(errorPercent(1, 3), 33);
  EXPECT_EQ(errorPercent(2, 3), 67);
  EXPECT_EQ(errorPercent(8, 8), 100);
  EXPECT_EQ(errorPercent(0, 8), 0);
  EXPECT_EQ(errorPercent(3, 0), 0);
}

class SummaryTotals : public ::testing::Test {
 protected:
  SummaryTotals() { t.host.clock = DateTime(2024, 3, 10, 10, 0, 0); }
  test::TestProgram t;
};

TEST_F(SummaryTotals, LineTotalsCountFailedAndOpenCallsAndSumDurationsAndCounters) {
  std::vector<CallRow> calls;
  for (int i = 0; i < 6; ++i) {
    CallRow call;
    call.line = 1;
    call.duration = 10 * (i + 1);
    call.exitCode = i % 2 ? "OK" : "OK (NO INIT)";
    for (int c = 0; c < 11; ++c) call.counters[static_cast<std::size_t>(c)] = c + i;
    calls.push_back(call);
  }
  CallRow failed = failedCall(1);
  failed.duration = 5;
  failed.counters[0] = 100;
  calls.push_back(failed);
  calls.push_back(openCall(1));  // no duration yet: adds nothing, blanks nothing
  CallRow okOnly;
  okOnly.line = 2;
  calls.push_back(okOnly);
  insertCalls(*t, calls);

  getLinesUsed(*t);
  calculateTotalsForLines(*t);

  // calls, errors, errorpercent, time in use, then the eleven counters.
  EXPECT_EQ(
      t.rows("select * from linesummary order by line"),
      (std::vector<std::string>{"1|8|1|12|215|115|21|27|33|39|45|51|57|63|69|75", "2|1|0|0|60|0|0|0|0|0|0|0|0|0|0|0"}));
  EXPECT_EQ(t->handledErrorCount, 0);
}

TEST_F(SummaryTotals, ProgressRunsOverTheRowsAndEndsAtZeroButAnEmptyTableLeavesItAlone) {
  calculateTotalsForLines(*t);
  calculateTotalsForOctels(*t);
  EXPECT_TRUE(t.host.progressLog.empty());

  insertCalls(*t, {CallRow{.line = 1}, CallRow{.line = 2}, CallRow{.line = 5}});
  getLinesUsed(*t);
  const int yieldsBefore = t.host.yields;
  calculateTotalsForLines(*t);
  EXPECT_EQ(t.host.progressLog,
            (std::vector<std::string>{"min=0", "max=3", "value=0", "value=1", "value=2", "value=3", "value=0"}));
  EXPECT_EQ(t.host.yields - yieldsBefore, 1);
}

TEST_F(SummaryTotals, ARowWithoutCallsGetsZeroCountsAndTheRowsAfterItAreStillTotalled) {
  t->db.exec("insert into linesummary (line) values (7)");
  t->db.exec("insert into octelsummary (octelserialnumber) values ('gone')");
  insertCalls(*t, {failedCall(3, "40712"), CallRow{.line = 3, .node = "40712"}});
  getLinesUsed(*t);
  getOctelNodes(*t);
  calculateTotalsForLines(*t);
  calculateTotalsForOctels(*t);
  EXPECT_EQ(t.rows("select line, calls, errors, errorpercent from linesummary order by rowid"),
            (std::vector<std::string>{"7|0|0|0", "3|2|1|50"}));
  EXPECT_EQ(t.rows("select octelserialnumber, calls, errors, errorpercent from octelsummary order by rowid"),
            (std::vector<std::string>{"gone|0|0|0", "40712|2|1|50"}));
}

TEST_F(SummaryTotals, NodeIntervalCountsCallsEndedStrictlyAfterTheCutoffThatWereNotReset) {
  // Run at 10:00:00 with a 24-hour interval: the cutoff is 10:00:00 the day before.
  CallRow resetError = failedCall(1, "40712", "2024-03-10 09:00:00");
  resetError.ignoreError = true;
  CallRow okWithin{.line = 1, .node = "40712", .end = "2024-03-10 09:30:00"};
  insertCalls(*t, {failedCall(1, "40712", "2024-03-09 10:00:00"),  // at the cutoff: outside
                   failedCall(1, "40712", "2024-03-09 10:00:01"),  // inside
                   resetError, okWithin, openCall(1, "40712"), failedCall(2, "OLD", "2024-03-01 12:00:00"),
                   CallRow{.line = 2, .node = "OLD", .end = "2024-03-02 12:00:00"},
                   failedCall(2, "Unknown", "2024-03-10 08:00:00")});
  getOctelNodes(*t);
  calculateTotalsForOctels(*t);

  // calls, errors, errorpercent, callswithininterval, errorswithininterval, errorpercentwithininterval
  EXPECT_EQ(t.rows("select octelserialnumber, calls, errors, errorpercent, callswithininterval,"
                   " errorswithininterval, errorpercentwithininterval from octelsummary order by octelserialnumber"),
            (std::vector<std::string>{"40712|5|3|60|2|1|50", "OLD|2|1|50|0|0|0", "Unknown|1|1|100|1|1|100"}));
  EXPECT_EQ(t.rows("select count(*) from octelsummary"), std::vector<std::string>{"3"});
}

TEST_F(SummaryTotals, ALockedDatabaseIsReportedAsContentionWithoutCountingAndLeavesTheRows) {
  test::TestProgram console(false);
  console.host.clock = DateTime(2024, 3, 10, 10, 0, 0);
  console.openLog();
  insertCalls(*console, {failedCall(1, "40712")});
  getLinesUsed(*console);
  getOctelNodes(*console);

  db::Connection other;
  other.open(console->databasePath().string());
  other.exec("BEGIN IMMEDIATE");
  other.exec("update applicationparameters set value = value");
  console->db.setBusyTimeout(20);
  calculateTotalsForLines(*console);
  calculateTotalsForOctels(*console);
  other.exec("ROLLBACK");

  EXPECT_EQ(console->handledErrorCount, 0);
  ASSERT_EQ(console.host.boxes.size(), 2u);
  EXPECT_EQ(console.host.boxes[0].text.rfind("(error):-2147217887 (", 0), 0u);
  EXPECT_TRUE(console.host.boxes[0].text.ends_with(") in procedure calculateTotalsForLines()"));
  EXPECT_TRUE(console.host.boxes[1].text.ends_with(") in procedure calculateTotalsForOctels()"));
  const std::string log = test::activityLogText(console);
  EXPECT_EQ(test::occurrences(log, ": Database contention between TRAVIK admin and TRAVIK service\r\n"), 2);
  EXPECT_EQ(test::occurrences(log, ": TRAVIK service will now exit this processing cycle\r\n"), 2);
  EXPECT_LT(log.find("in procedure calculateTotalsForLines()"), log.find("Database contention"));
  EXPECT_EQ(console.rows("select calls, errors from linesummary"), std::vector<std::string>{"0|0"});
  EXPECT_EQ(console.rows("select calls, errors from octelsummary"), std::vector<std::string>{"0|0"});
}

}  // namespace
}  // namespace travik
