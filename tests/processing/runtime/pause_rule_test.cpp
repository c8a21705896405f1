// The rule that no write transaction stays open across a yield, a sleep or a
// message box, as the program's host keeps it for every pause.
#include "processing/runtime/pause_rule.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "processing/runtime/activity_log.h"
#include "processing/runtime/error_handling.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

// Runs `pause` and gives what its failure says ("" when it went ahead).
template <class Pause>
std::string breach(Pause&& pause) {
  try {
    pause();
  } catch (const std::logic_error& error) {
    return error.what();
  }
  return "";
}

TEST(PauseRule, EveryPauseUnderAWriteTransactionFailsAndNamesItsCaller) {
  test::TestProgram program(false);
  HostSlot& host = program->host;
  db::Transaction transaction(program->db);
  const std::string yield = breach([&] { host.yield(); });
  EXPECT_NE(yield.find("open across a yield asked for in"), std::string::npos) << yield;
  EXPECT_NE(yield.find("pause_rule_test.cpp:"), std::string::npos) << yield;
  EXPECT_NE(breach([&] { host.sleep(700); }).find("open across a sleep asked for in"), std::string::npos);
  EXPECT_NE(breach([&] {
              host.messageBox("?", "t", MessageButtons::Ok, MessageIcon::None);
            }).find("open across a message box asked for in"),
            std::string::npos);
  // Through a plain Host the pause is caught all the same.
  Host& plain = program->host;
  EXPECT_EQ(breach([&] { plain.yield(); }), "A write transaction of the program database was open across a yield");
  // No guard counts it, and none of the pauses took place.
  EXPECT_THROW(guard(*program, "p()", [&] { host.yield(); }), std::logic_error);
  EXPECT_EQ(program->handledErrorCount, 0);
  EXPECT_EQ(program.host.yields, 0);
  EXPECT_TRUE(program.host.sleeps.empty());
  EXPECT_TRUE(program.host.boxes.empty());
}

TEST(PauseRule, PausesAfterTheCommitAndUnderAReadGoAhead) {
  test::TestProgram program;
  {
    db::Transaction transaction(program->db);
    program->db.exec("insert into calls (callid, line) values ('one', 1)");
    transaction.commit();
  }
  program->host.yield();
  program->db.exec("begin");
  db::Statement count = program->db.prepare("select count(*) from calls");
  ASSERT_TRUE(count.step());
  program->host.sleep(10);
  count.reset();
  program->db.exec("commit");
  EXPECT_EQ(program.host.yields, 1);
  EXPECT_EQ(program.host.sleeps, std::vector<int>{10});
}

TEST(PauseRule, TheFakeHostFailsATestWhosePauseReachesItUnderAWriteTransaction) {
  test::TestProgram program;
  db::Transaction transaction(program->db);
  // Straight to the fake host, past the program's check.
  EXPECT_NONFATAL_FAILURE(program.host.yield(), "a yield reached the host while the program database held");
  EXPECT_NONFATAL_FAILURE(program.host.sleep(2), "a sleep reached the host");
  EXPECT_NONFATAL_FAILURE(program.host.messageBox("?", "t", MessageButtons::Ok, MessageIcon::None),
                          "a message box reached the host");
}

// The programs' setting: programming errors are counted, not let through.
struct ProgrammingErrorsCounted {
  ProgrammingErrorsCounted() { setProgrammingErrorsEscape(false); }
  ~ProgrammingErrorsCounted() { setProgrammingErrorsEscape(true); }
};

#ifdef NDEBUG
TEST(PauseRule, AReleaseBuildWritesOneUncountedLineAndPauses) {
  test::TestProgram program;
  program.openLog();
  program.host.database = nullptr;  // the pause reaches it under the transaction, as the release build lets it
  {
    const ProgrammingErrorsCounted counted;
    db::Transaction transaction(program->db);
    program->host.sleep(700);
  }
  EXPECT_EQ(program.host.sleeps, std::vector<int>{700});
  EXPECT_EQ(program->handledErrorCount, 0);
  flushActivityLog(*program);
  const std::string log = test::readFile(program->activityLog.fileName);
  const std::string line = "A write transaction of the program database was open across a sleep asked for in";
  const auto first = log.find(line);
  ASSERT_NE(first, std::string::npos) << log;
  EXPECT_NE(log.find("pause_rule_test.cpp:", first), std::string::npos) << log;
  // The line's own yield, still under the transaction, adds no second one.
  EXPECT_EQ(log.find(line, first + 1), std::string::npos) << log;
}
#else
TEST(PauseRuleDeathTest, ADebugBuildStopsAtOnce) {
  test::TestProgram program;
  EXPECT_DEATH(
      {
        const ProgrammingErrorsCounted counted;
        db::Transaction transaction(program->db);
        program->host.yield();
      },
      "open across a yield asked for in");
}
#endif

}  // namespace
}  // namespace travik
