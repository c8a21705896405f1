// The error seam: what passes every guard, what a guard turns into a handled
// error, and the walk's rule that no write transaction stays open across a
// yield, a pause or a message box.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "processing/calls/call_module.h"
#include "processing/calls/process_calls.h"
#include "processing/calls/walk_host.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/error_handling.h"
#include "tests/processing/call_trace.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

using Rows = std::vector<std::string>;

// The report line a guard gives a failure, or "" when the step went through.
template <class Step>
std::string reported(Step&& step) {
  std::string line;
  guardWith(step, [&](const HandledError& error) { line = errorReportLine(error, "p()"); });
  return line;
}

// The programs' setting for the length of a test: programming errors counted.
struct ProgrammingErrorsCounted {
  ProgrammingErrorsCounted() { setProgrammingErrorsEscape(false); }
  ~ProgrammingErrorsCounted() { setProgrammingErrorsEscape(true); }
};

TEST(ErrorSeam, TheProgramsEndPassesEveryGuard) {
  test::TestProgram program;
  CallModule module(*program);
  int reports = 0;
  const auto count = [&](const HandledError&) { ++reports; };
  EXPECT_THROW(guardWith([] { throw ProgramEnded{3}; }, count), ProgramEnded);
  EXPECT_THROW(guardWith([] { throw StopRequested{}; }, count), StopRequested);
  EXPECT_THROW(guard(*program, "p()", [] { throw StopRequested{}; }), StopRequested);
  EXPECT_THROW(guardedCondition(*program, "p()", []() -> bool { throw ProgramEnded{}; }), ProgramEnded);
  EXPECT_THROW(guardCall(module, "p()", [] { throw ProgramEnded{}; }), ProgramEnded);
  EXPECT_EQ(reports, 0);
  EXPECT_EQ(program->handledErrorCount, 0);
}

TEST(ErrorSeam, ProgrammingErrorsFailTheTests) {
  test::TestProgram program;
  const std::vector<int> words{1, 2};
  EXPECT_THROW(guard(*program, "p()", [&] { (void)words.at(2); }), std::out_of_range);
  EXPECT_THROW(guard(*program, "p()", [] { throw std::invalid_argument("bad argument"); }), std::invalid_argument);
  EXPECT_THROW(guard(*program, "p()", [] { throw std::logic_error("broken precondition"); }), std::logic_error);
  EXPECT_EQ(program->handledErrorCount, 0);
}

TEST(ErrorSeam, TheProgramsCountProgrammingErrorsAsBefore) {
  const ProgrammingErrorsCounted counted;
  EXPECT_EQ(reported([] { (void)std::vector<int>{}.at(0); }), "(error):6 (Overflow) in procedure p()");
  EXPECT_EQ(reported([] { throw std::invalid_argument("x"); }), "(error):13 (Type mismatch) in procedure p()");
  EXPECT_EQ(reported([] { throw std::logic_error("broken"); }), "(error):5 (broken) in procedure p()");
  test::TestProgram program;
  EXPECT_FALSE(guard(
      *program, "p()", [] { throw std::length_error("too long"); }, ErrorHandler::CountOnly));
  EXPECT_EQ(program->handledErrorCount, 1);
}

TEST(ErrorSeam, DataThatDoesNotConvertIsAHandledErrorInTheTestsToo) {
  EXPECT_EQ(reported([] { throw HandledError(error_number::kOverflow, "Overflow"); }),
            "(error):6 (Overflow) in procedure p()");
  EXPECT_EQ(reported([] { throw HandledError(error_number::kTypeMismatch, "Type mismatch"); }),
            "(error):13 (Type mismatch) in procedure p()");
  EXPECT_EQ(reported([] { throw std::runtime_error("disk on fire"); }), "(error):5 (disk on fire) in procedure p()");
  EXPECT_EQ(reported([] {}), "");
}

class WalkHostTest : public ::testing::Test {
 protected:
  WalkHostTest() {
    program.openLog();
    test::prepareModule(module);
    other.open(program->databasePath().string(), 0);
  }

  // The rows of the calls table as the other program sees them.
  std::int64_t callsSeenByOther() {
    db::Statement count = other.prepare("select count(*) from calls");
    count.step();
    return count.getInt(0);
  }
  // Whether the other program could write now.
  bool otherCanWrite() {
    try {
      db::Transaction transaction(other);
      return true;
    } catch (const db::DbError&) {
      return false;
    }
  }
  void writeCall() {
    beginLineTransaction(module);
    program->db.exec("insert into calls (callid, line) values ('one', 1)");
  }

  test::TestProgram program;
  CallModule module{*program};
  db::Connection other;
};

TEST_F(WalkHostTest, EveryPauseCommitsTheLineAndOpensItsNextTransaction) {
  std::vector<bool> free;
  program.host.onYield = [&] { free.push_back(otherCanWrite()); };
  program.host.onSleep = [&](int) { free.push_back(otherCanWrite()); };
  const WalkHost walkHost(module);
  writeCall();
  program->host.yield();
  EXPECT_TRUE(module.transaction.has_value());
  program->db.exec("insert into calls (callid, line) values ('two', 1)");
  program->host.sleep(10);
  EXPECT_EQ(callsSeenByOther(), 2);
  program->db.exec("insert into calls (callid, line) values ('three', 1)");
  EXPECT_EQ(program->host.messageBox("?", "t", MessageButtons::Ok, MessageIcon::None), MessageResult::Ok);
  EXPECT_EQ(callsSeenByOther(), 3);
  EXPECT_TRUE(module.transaction.has_value());
  EXPECT_TRUE(module.linePartCommitted);
  EXPECT_EQ(free, (std::vector<bool>{true, true}));
}

TEST_F(WalkHostTest, OutsideALineAndOutsideTheWalkPausesPassStraightThrough) {
  const int yieldsBefore = program.host.yields;
  {
    const WalkHost walkHost(module);
    program->host.yield();
    EXPECT_FALSE(module.transaction.has_value());
  }
  // Gone with the walk: the program's own host again, which refuses a pause
  // under the line's transaction.
  writeCall();
  EXPECT_THROW(program->host.yield(), std::logic_error);
  EXPECT_EQ(program.host.yields - yieldsBefore, 1);
  EXPECT_EQ(callsSeenByOther(), 0);
}

TEST_F(WalkHostTest, ATransactionThatCannotBeHadAfterAPauseIsReportedWithTheErrorAndGivesTheLineUp) {
  std::optional<db::Transaction> otherWrites;
  program.host.onYield = [&] {
    if (!otherWrites) otherWrites.emplace(other);
  };
  program->db.setBusyTimeout(0);
  const WalkHost walkHost(module);
  writeCall();
  reportCallError(module, HandledError(error_number::kSubscriptOutOfRange, "Subscript out of range"), "p()");
  otherWrites.reset();

  EXPECT_TRUE(module.lineAbandoned);
  EXPECT_FALSE(module.transaction.has_value());
  EXPECT_FALSE(module.pauseFailure.has_value());
  EXPECT_EQ(callsSeenByOther(), 1);  // committed before the pause
  EXPECT_EQ(program->handledErrorCount, 2);
  flushActivityLog(*program);
  const std::string log = test::readFile(program->activityLog.fileName);
  const auto error = log.find("(error):9 (Subscript out of range) in procedure p()");
  const auto locked = log.find("(error):-2147217887 (");
  ASSERT_NE(error, std::string::npos) << log;
  ASSERT_NE(locked, std::string::npos) << log;
  EXPECT_LT(error, locked);
  EXPECT_NE(log.find(") in procedure p()", locked), std::string::npos);

  // Nothing more is reported for the line given up.
  reportCallError(module, HandledError(error_number::kSubscriptOutOfRange, "Subscript out of range"), "p()");
  EXPECT_EQ(program->handledErrorCount, 2);
}

TEST(WalkRule, TheOtherProgramCanWriteAtEveryPauseOfAWalkThatReports) {
  test::TestProgram program(false);
  program.openLog();
  test::LineTrace(*program, 1, DateTime(2024, 3, 1, 10, 0, 0))
      .events({"Call Received.", "Received BD", test::received(18), "Protocol Level = 3", test::received(16),
               "Call received from Serial # 111 to Serial # 222", test::received(36), test::received(22),
               "Processing Name Push for mailbox 4711", "Accept Name Push for mailbox 4711", test::received(18),
               "Receive alias response for mailbox 4711 =no", test::received(48),
               "Receive text name for mailbox 4711 without quotes", "Send admin response with nFlag 0",
               "Incoming Call Completed."});
  db::Connection other;
  other.open(program->databasePath().string(), 0);
  int pauses = 0, blocked = 0;
  const auto check = [&] {
    ++pauses;
    try {
      db::Transaction transaction(other);
    } catch (const db::DbError&) {
      ++blocked;
    }
  };
  program.host.onYield = check;
  program.host.onSleep = [&](int) { check(); };
  processCalls(*program);
  ASSERT_EQ(program.host.boxes.size(), 1u);  // the report paused inside the line
  EXPECT_GT(pauses, 0);
  EXPECT_EQ(blocked, 0);
  EXPECT_EQ(program.rows("select exitcode from calls"), Rows{"OK"});
}

}  // namespace
}  // namespace travik
