// Splitting one processing run into its phases by its status lines.
#include "bench/traffic_bench_host.h"

#include <gtest/gtest.h>

namespace travik::traffic {
namespace {

using namespace std::chrono_literals;

class RunPhasesTest : public ::testing::Test {
 protected:
  void at(std::chrono::milliseconds offset, const std::string& text) { statuses.push_back({base + offset, text}); }
  BenchHost::Clock::time_point base = BenchHost::Clock::now();
  std::vector<BenchHost::Status> statuses;
};

TEST_F(RunPhasesTest, PhasesRunFromTheStatusThatBeginsThemToTheOneThatBeginsTheNext) {
  at(0ms, "Connecting to database...");
  at(10ms, "Locating new activity since last processing...");
  at(20ms, "Parsing MVLOG.20050412.090000.log...");
  at(520ms, "Parsing MVLOG.20050412.100000.log...");
  at(1020ms, "Processing calls for line 1...");
  at(1500ms, "Processing calls for line 2...");
  at(2020ms, "Calculating per line totals...");
  at(2100ms, "Calculating per node totals...");
  at(2220ms, "Generating reports...");
  at(2520ms, "Processing complete.");
  const RunPhases phases = splitRun(statuses, base + 2600ms);
  ASSERT_TRUE(phases.parse && phases.calls && phases.summary);
  EXPECT_NEAR(*phases.parse, 1.0, 1e-9);
  EXPECT_NEAR(*phases.calls, 1.0, 1e-9);
  EXPECT_NEAR(*phases.summary, 0.5, 1e-9);
}

TEST_F(RunPhasesTest, MissingStatusLinesLeaveTheirPhasesEmpty) {
  at(0ms, "Connecting to database...");
  at(5ms, "Processing complete.");
  const RunPhases phases = splitRun(statuses, base + 10ms);
  EXPECT_FALSE(phases.parse);
  EXPECT_FALSE(phases.calls);
  EXPECT_FALSE(phases.summary);
}

TEST_F(RunPhasesTest, APhaseWithoutAFollowingStatusRunsToTheEndOfTheRun) {
  at(0ms, "Parsing MVLOG.001...");
  const RunPhases phases = splitRun(statuses, base + 300ms);
  ASSERT_TRUE(phases.parse);
  EXPECT_NEAR(*phases.parse, 0.3, 1e-9);
}

TEST(BenchHost, PausesAreCountedAndTheClockStands) {
  BenchHost host(DateTime(2005, 6, 15, 12, 1, 0));
  host.sleep(3000);
  host.sleep(700);
  EXPECT_EQ(host.skippedPauseMs, 3700);
  EXPECT_EQ(host.now(), DateTime(2005, 6, 15, 12, 1, 0));
}

}  // namespace
}  // namespace travik::traffic
