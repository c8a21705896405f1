#include "processing/calls/event_cursor.h"

#include <gtest/gtest.h>

#include <string>

#include "processing/calls/call_module.h"
#include "tests/processing/call_trace.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

using test::LineTrace;

class EventCursorTest : public ::testing::Test {
 protected:
  EventCursorTest() { test::prepareModule(module); }
  test::TestProgram program;
  CallModule module{*program};
  EventCursor& events = module.events;
};

TEST_F(EventCursorTest, StreamsOneLineInTimeOrderAfterTheCutOff) {
  auto insert =
      program->db.prepare("insert into Events (Timestamp, Milliseconds, Sequence, Line, Data) values (?, ?, ?, ?, ?)");
  // Inserted out of order; another line in between.
  insert.bind(1, "2024-03-01 10:00:06").bind(2, 0).bind(3, 2).bind(4, 1).bind(5, "d").run();
  insert.bind(1, "2024-03-01 10:00:06").bind(2, 0).bind(3, 1).bind(4, 1).bind(5, "c").run();
  insert.bind(1, "2024-03-01 10:00:05").bind(2, 900).bind(3, 1).bind(4, 1).bind(5, "same second as cut-off").run();
  insert.bind(1, "2024-03-01 10:00:07").bind(2, 5).bind(3, 1).bind(4, 2).bind(5, "other line").run();
  insert.bind(1, "2024-03-01 10:00:06").bind(2, 10).bind(3, 1).bind(4, 1).bind(5, "e").run();

  events.open(1, DateTime(2024, 3, 1, 10, 0, 5));
  ASSERT_FALSE(events.empty());
  EXPECT_TRUE(events.bof());
  std::string seen;
  for (events.moveNext(); !events.eof(); events.moveNext()) seen += events.current().data;
  EXPECT_EQ(seen, "cde");

  events.open(3, DateTime(1900, 1, 1));
  EXPECT_TRUE(events.empty());
}

TEST_F(EventCursorTest, StepsBackAcrossBatchesWithoutKeepingTheBacklog) {
  LineTrace trace(*program, 1, DateTime(2024, 3, 1, 10, 0, 0));
  const int count = static_cast<int>(EventCursor::kBatchRows) * 2 + 7;
  for (int i = 0; i < count; ++i) trace(std::to_string(i), 7);

  test::openLine(module, 1);
  int read = 0;
  while (!events.eof()) {
    ASSERT_EQ(events.current().data, std::to_string(read));
    // A look ahead and back at every row, also where a new batch begins.
    events.moveNext();
    events.movePrevious();
    ASSERT_EQ(events.current().data, std::to_string(read));
    events.moveNext();
    ++read;
  }
  EXPECT_EQ(read, count);
  events.movePrevious();
  EXPECT_EQ(events.current().data, std::to_string(count - 1));
  // Going further back works for the kept rows, and ends well before the line's start.
  int back = 1;
  try {
    while (back < count) {
      events.movePrevious();
      ++back;
    }
  } catch (const HandledError&) {
  }
  EXPECT_GE(back, static_cast<int>(EventCursor::kKeptRows));
  EXPECT_LE(back, static_cast<int>(EventCursor::kKeptRows + EventCursor::kBatchRows));
}

TEST_F(EventCursorTest, BeforeTheFirstRowAndAfterTheLast) {
  LineTrace trace(*program, 1, DateTime(2024, 3, 1, 10, 0, 0));
  trace("first")("second");
  test::openLine(module, 1);
  events.movePrevious();
  EXPECT_TRUE(events.bof());
  module.previousStateData = "stale";
  nextEvent(module);
  EXPECT_EQ(module.previousStateData, "");
  EXPECT_EQ(events.current().data, "first");
  nextEvent(module);
  EXPECT_EQ(module.previousStateData, "first");
  nextEvent(module);
  EXPECT_TRUE(events.eof());
  nextEvent(module);  // nothing at eof
  EXPECT_TRUE(events.eof());
  EXPECT_EQ(module.previousStateData, "second");
}

TEST_F(EventCursorTest, AdditionalDigitsAreJoinedAndConsumed) {
  LineTrace trace(*program, 1, DateTime(2024, 3, 1, 10, 0, 0));
  trace("Received 12")("Received 3")("Received  4")("Playing BD");
  test::openLine(module, 1);
  module.previousStateData = "before";
  EXPECT_EQ(getAdditionalDtmf(module, "12"), "123");
  EXPECT_EQ(events.current().data, "Received 3");
  EXPECT_EQ(module.dataType, 44);
  EXPECT_EQ(module.previousStateData, "before");
  // Two blanks: the word after "Received" is empty.
  EXPECT_EQ(getAdditionalDtmf(module, "123"), "123");
  EXPECT_EQ(events.current().data, "Received  4");
  // Not digits: the cursor stays.
  EXPECT_EQ(getAdditionalDtmf(module, "1234"), std::nullopt);
  EXPECT_EQ(events.current().data, "Received  4");
  EXPECT_EQ(module.dataType, 33);
  events.moveNext();
  EXPECT_EQ(getAdditionalDtmf(module, "1"), std::nullopt);
  EXPECT_EQ(events.current().data, "Playing BD");
}

TEST_F(EventCursorTest, LookAheadsLeaveTheCursorWhereItWas) {
  LineTrace trace(*program, 1, DateTime(2024, 3, 1, 10, 0, 0));
  trace("Received 1234")("Received")("Received 55");
  test::openLine(module, 1);
  EXPECT_FALSE(decryptOk(module));
  EXPECT_EQ(module.dataType, 42);
  EXPECT_FALSE(checkForAdditionalDtmf(module));
  EXPECT_EQ(events.current().data, "Received 1234");
  events.moveNext();
  EXPECT_TRUE(decryptOk(module));
  EXPECT_TRUE(checkForAdditionalDtmf(module));
  EXPECT_EQ(events.current().data, "Received");
  events.moveNext();
  module.dataType = 7;
  EXPECT_TRUE(decryptOk(module));  // the last row
  EXPECT_FALSE(checkForAdditionalDtmf(module));
  EXPECT_EQ(module.dataType, 7);
  EXPECT_EQ(events.current().data, "Received 55");
}

}  // namespace
}  // namespace travik
