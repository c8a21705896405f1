#include "processing/totals/summary_totals.h"

#include <gtest/gtest.h>

#include "processing/totals/process_summary.h"
#include "tests/processing/totals/summary_fixtures.h"

namespace travik {
namespace {

using test::CallRow;
using test::failedCall;

TEST(ErrorPercent, RoundsWholeNumbersHalfToEvenAndIsZeroWithoutCounts) {
  EXPECT_EQ(errorPercent(1, 8), 12);   // 12.5
  EXPECT_EQ(errorPercent(3, 8), 38);   // 37.5
  EXPECT_EQ(errorPercent(1, 200), 0);  // 0.5
  EXPECT_EQ(errorPercent(3, 200), 2);  // 1.5
  EXPECT_EQ(errorPercent(1, 3), 33);
  EXPECT_EQ(errorPercent(2, 3), 67);
  EXPECT_EQ(errorPercent(0, 8), 0);
  EXPECT_EQ(errorPercent(3, 0), 0);
}

class SummaryTotals : public ::testing::Test {
 protected:
  SummaryTotals() { t.host.clock = DateTime(2024, 3, 10, 10, 0, 0); }
  test::TestProgram t;
};

TEST_F(SummaryTotals, LineTotalsCountFailedAndOpenCallsAndReplaceWhatTheTableHeld) {
  // Left over from a run whose removal failed, and a line with no call left.
  t->db.exec("insert into linesummary (line, calls, timeinuseInSeconds) values (1, 8, 270), (7, 2, 5)");
  std::vector<CallRow> calls;
  for (int i = 0; i < 6; ++i) {
    CallRow call{.line = 1, .exitCode = i % 2 ? "OK" : "OK (NO INIT)", .duration = 10 * (i + 1)};
    for (int c = 0; c < 11; ++c) call.counters[static_cast<std::size_t>(c)] = c + i;
    calls.push_back(call);
  }
  calls.push_back(failedCall(1, "Unknown"));
  calls.push_back(test::openCall(1, "Unknown"));  // no duration yet: adds nothing, blanks nothing
  calls.push_back(CallRow{.line = 2});
  test::insertCalls(*t, calls);

  EXPECT_TRUE(calculateTotalsForLines(*t));
  // line, calls, errors, errorpercent, time in use, the eleven counters
  EXPECT_EQ(
      t.rows("select * from linesummary order by line"),
      (std::vector<std::string>{"1|8|1|12|270|15|21|27|33|39|45|51|57|63|69|75", "2|1|0|0|60|0|0|0|0|0|0|0|0|0|0|0"}));
  EXPECT_EQ(t.host.progressLog,
            (std::vector<std::string>{"min=0", "max=2", "value=0", "value=1", "value=2", "value=0"}));
}

TEST_F(SummaryTotals, NodeIntervalCountsCallsEndedStrictlyAfterTheCutoffThatWereNotReset) {
  // Run at 10:00:00 with a 24-hour interval: the cutoff is 10:00:00 the day before.
  CallRow reset = failedCall(1, "40712");
  reset.ignoreError = true;
  test::insertCalls(
      *t, {failedCall(1, "40712", "2024-03-09 10:00:00"), failedCall(1, "40712", "2024-03-09 10:00:01"), reset,
           CallRow{.node = "40712"}, test::openCall(1, "40712"), failedCall(2, "OLD", "2024-03-01 12:00:00")});
  getOctelNodes(*t);
  calculateTotalsForOctels(*t);
  EXPECT_EQ(t.rows("select octelserialnumber, calls, errors, errorpercent, callswithininterval,"
                   " errorswithininterval, errorpercentwithininterval from octelsummary order by rowid"),
            (std::vector<std::string>{"40712|5|3|60|2|1|50", "OLD|1|1|100|0|0|0"}));
}

}  // namespace
}  // namespace travik
