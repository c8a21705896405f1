// The event cursor's order where the index alone does not give it: events of
// one instant (timestamp, milliseconds and sequence alike, as files stored in
// different runs can leave them) come in insertion order, also where such an
// instant meets the end of a batch.
#include <gtest/gtest.h>

#include <string>

#include "processing/calls/call_module.h"
#include "processing/calls/event_cursor.h"
#include "tests/processing/call_trace.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

class EventCursorOrderTest : public ::testing::Test {
 protected:
  EventCursorOrderTest()
      : insert(program->db.prepare(
            "insert into Events (Timestamp, Milliseconds, Sequence, Line, Data) values (?, ?, ?, ?, ?)")) {
    test::prepareModule(module);
  }
  void add(const std::string& stamp, int milliseconds, int sequence, const std::string& data, int line = 1) {
    insert.bind(1, stamp).bind(2, milliseconds).bind(3, sequence).bind(4, line).bind(5, data).run();
  }
  std::string readAll(int line = 1) {
    std::string seen;
    events.open(line, DateTime(1900, 1, 1));
    for (events.moveNext(); !events.eof(); events.moveNext()) seen += events.current().data + " ";
    return seen;
  }

  test::TestProgram program;
  CallModule module{*program};
  EventCursor& events = module.events;
  db::Statement insert;
};

TEST_F(EventCursorOrderTest, EventsOfOneInstantComeInInsertionOrder) {
  add("2024-03-01 10:00:00", 500, 1, "zulu");
  add("2024-03-01 10:00:00", 500, 2, "next");
  add("2024-03-01 10:00:00", 500, 1, "alpha", 2);  // another line, same instant
  add("2024-03-01 10:00:00", 500, 1, "mike");      // a later file's first event, same instant
  add("2024-03-01 10:00:00", 500, 1, "alpha");
  add("2024-03-01 10:00:00", 400, 1, "earlier");
  EXPECT_EQ(readAll(), "earlier zulu mike alpha next ");
  EXPECT_EQ(readAll(2), "alpha ");
}

TEST_F(EventCursorOrderTest, AnInstantAtTheEndOfABatchIsReadWhole) {
  const DateTime start(2024, 3, 1, 10, 0, 0);
  std::string expected;
  for (std::size_t i = 0; i + 2 < EventCursor::kBatchRows; ++i) {
    add(start.addSeconds(static_cast<std::int64_t>(i)).toStored(), 0, 1, "e" + std::to_string(i));
    expected += "e" + std::to_string(i) + " ";
  }
  // Five events of one instant straddle the batch's end, their texts against insertion order.
  const std::string instant = start.addSeconds(100000).toStored();
  for (const char* text : {"t5", "t4", "t3", "t2", "t1"}) {
    add(instant, 7, 1, text);
    expected += std::string(text) + " ";
  }
  add(start.addSeconds(100001).toStored(), 0, 1, "last");
  expected += "last ";
  EXPECT_EQ(readAll(), expected);
}

}  // namespace
}  // namespace travik
