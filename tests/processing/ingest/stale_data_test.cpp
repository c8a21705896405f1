#include "processing/ingest/stale_data.h"

#include <gtest/gtest.h>

#include "tests/support/test_program.h"

namespace travik {
namespace {

const DateTime kNow(2024, 6, 12, 12, 0, 0);
const DateTime kCutoff = kNow.addHours(-72);  // the delivered retention of 72 hours

class ClearDatabasesTest : public ::testing::Test {
 protected:
  ClearDatabasesTest() { tp.host.clock = kNow; }

  // A call with one row in each of its tables.
  void call(const std::string& id, const DateTime& begin, std::optional<DateTime> end) {
    tp->db.prepare("insert into calls (callid, timestampbegin, timestampend) values (?1, ?2, ?3)")
        .bind(1, id)
        .bind(2, begin.toStored())
        .bind(3, end ? std::optional<std::string>(end->toStored()) : std::nullopt)
        .run();
    for (const char* table : {"tasks", "recipients", "errors"})
      tp->db.prepare(std::string("insert into ") + table + " (callid) values (?1)").bind(1, id).run();
  }
  std::vector<std::string> remaining(const std::string& table) {
    return tp.rows("select callid from " + table + " order by callid");
  }
  std::vector<std::string> statusTexts() {
    std::vector<std::string> texts;
    for (const auto& status : tp.host.statuses) texts.push_back(status.text);
    return texts;
  }

  test::TestProgram tp;
};

TEST_F(ClearDatabasesTest, WithNothingToRemoveItShowsNoughtsAndLeavesTheTotalsToTheRun) {
  tp->db.exec("insert into linesummary (line) values (1); insert into octelsummary (octelserialnumber) values ('9')");
  call("kept", kNow.addHours(-1), kNow);
  EXPECT_EQ(ClearDatabases(*tp), 0);
  EXPECT_EQ(statusTexts(),
            (std::vector<std::string>{"Deleting 0 incomplete calls from previous processing and associated data...",
                                      "Deleting 0 obsolete calls from previous processing and associated data...",
                                      "Deleting previous line and Octel node summary data..."}));
  // The run's totals replace them whole; a run without totals keeps them.
  EXPECT_EQ(tp.rows("select line from linesummary"), std::vector<std::string>{"1"});
  EXPECT_EQ(tp.rows("select octelserialnumber from octelsummary"), std::vector<std::string>{"9"});
  EXPECT_EQ(remaining("calls"), std::vector<std::string>{"kept"});
  EXPECT_EQ(tp.host.sleeps, std::vector<int>{500});
  EXPECT_TRUE(tp->db.isOpen());
}

TEST_F(ClearDatabasesTest, RemovesObsoleteCallsWithTheirRowsKeepsTheCutoffItselfAndLeavesUnfinishedCallsToTheWalk) {
  call("1-incomplete", kNow.addHours(-1), std::nullopt);
  call("2-incomplete-and-old", kCutoff.addSeconds(-60), std::nullopt);
  call("3-ended-inside-began-before", kCutoff.addSeconds(-1), kCutoff.addSeconds(30));
  call("4-begins-at-cutoff", kCutoff, kCutoff.addSeconds(30));
  call("5-recent", kNow.addHours(-2), kNow.addHours(-1));
  EXPECT_EQ(ClearDatabases(*tp), 2);
  const auto texts = statusTexts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "Deleting 2 incomplete calls from previous processing and associated data...");
  EXPECT_EQ(texts[1], "Deleting 2 obsolete calls from previous processing and associated data...");
  const std::vector<std::string> kept{"1-incomplete", "4-begins-at-cutoff", "5-recent"};
  for (const char* table : {"calls", "tasks", "recipients", "errors"}) EXPECT_EQ(remaining(table), kept) << table;
  EXPECT_EQ(tp->handledErrorCount, 0);
}

TEST_F(ClearDatabasesTest, AFailedRemovalLeavesTheWholeGroup) {
  call("incomplete", kNow.addHours(-1), std::nullopt);
  call("obsolete", kCutoff.addSeconds(-1), kCutoff);
  tp->db.exec(
      "create trigger refuse before delete on recipients when old.callid = 'obsolete' "
      "begin select raise(abort, 'locked'); end");
  EXPECT_EQ(ClearDatabases(*tp), 0);
  EXPECT_EQ(tp->handledErrorCount, 1);
  for (const char* table : {"calls", "tasks", "recipients", "errors"})
    EXPECT_EQ(remaining(table), (std::vector<std::string>{"incomplete", "obsolete"})) << table;
}

}  // namespace
}  // namespace travik
