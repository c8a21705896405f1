#include "processing/runtime/event_log.h"

#include <gtest/gtest.h>

#include "tests/support/test_program.h"

namespace travik {
namespace {

using platform::EventKind;

TEST(EventLog, KindsOneToThreeWriteTheirEntryAndAnyOtherKindNothing) {
  test::TestProgram service;
  for (const int kind : {0, 1, 2, 3, 4, -1, 5})
    myEventLog(*service, event_id::kNoNewTraceFiles, kind, "passed " + std::to_string(kind));
  ASSERT_EQ(service.events.entries.size(), 3u);
  const EventKind kinds[] = {EventKind::Information, EventKind::Warning, EventKind::Error};
  for (std::size_t i = 0; i < 3; ++i) {
    const auto& entry = service.events.entries[i];
    EXPECT_EQ(entry.kind, kinds[i]);
    EXPECT_EQ(entry.source, "TRAVIK Service");
    EXPECT_EQ(entry.eventId, 16);
    EXPECT_EQ(entry.idText, eventMessageText(16));
    EXPECT_EQ(entry.text, "passed " + std::to_string(i + 1));
  }
  // A kind that writes nothing is no error either.
  EXPECT_EQ(service->handledErrorCount, 0);
  EXPECT_TRUE(service.host.boxes.empty());

  test::TestProgram console(false);
  myEventLog(*console, event_id::kDatabaseMissing, 4, "");
  EXPECT_TRUE(console.events.entries.empty());
  myEventLog(*console, event_id::kDatabaseMissing, 3, "");
  ASSERT_EQ(console.events.entries.size(), 1u);
  EXPECT_EQ(console.events.entries[0].source, "TRAVIK Admin");
}

}  // namespace
}  // namespace travik
