#include "processing/gateway/test_calls.h"

#include <gtest/gtest.h>

#include <chrono>

#include "processing/runtime/application_parameters.h"
#include "tests/processing/totals/summary_fixtures.h"
#include "tests/support/gateway_dsn.h"

namespace travik {
namespace {

class TestCalls : public ::testing::Test {
 protected:
  TestCalls() : t(false), gateway(t.folder() / "gateway") {
    t->gatewayDataSource = gateway.name();
    // A morning clock: the log lines the tests look for are stamped "AM".
    t.host.clock = DateTime(2026, 1, 5, 9, 30, 0);
    t.openLog();
  }
  void insert(const std::string& sql, const std::vector<std::string>& values, db::Connection& db) {
    auto statement = db.prepare(sql);
    for (std::size_t i = 0; i < values.size(); ++i) statement.bind(static_cast<int>(i + 1), values[i]);
    statement.run();
  }
  void nodes(const std::vector<std::string>& serials) {
    for (const auto& s : serials) insert("insert into octelnode (serialno) values (?1)", {s}, gateway.db());
  }
  void directoryRow(const std::string& serial, const std::string& mailbox) {
    insert("insert into directory values (?1, ?2, '2024-01-01', 3)", {serial, mailbox}, gateway.db());
  }
  void excludeFromTests(const std::string& serial) {
    insert("insert into excludeFromTestCalls (serialno) values (?1)", {serial}, t->db);
  }
  std::vector<std::string> directory() {
    std::vector<std::string> rows;
    auto query = gateway.db().prepare("select * from directory order by serialno, mailboxno");
    while (query.step())
      rows.push_back(query.getText(0) + "|" + query.getText(1) + "|" + query.getText(2) + "|" + query.getText(3));
    return rows;
  }
  std::vector<std::string> boxes() {
    std::vector<std::string> texts;
    for (const auto& box : t.host.boxes) texts.push_back(box.text);
    return texts;
  }

  test::TestProgram t;
  test::GatewayDsn gateway;
};

TEST_F(TestCalls, SchedulingTwiceLeavesOneRowPerNodeThatIsNotExcludedExactly) {
  nodes({"40712", "40713", "ab12"});
  excludeFromTests("40713");
  excludeFromTests("AB12");  // does not exclude ab12
  directoryRow("40712", "1234");
  scheduleTestCalls(*t);
  scheduleTestCalls(*t);

  EXPECT_EQ(directory(), (std::vector<std::string>{"40712|1234|2024-01-01|3", "40712|9999|1900-01-01 00:00:00|1",
                                                   "ab12|9999|1900-01-01 00:00:00|1"}));
  const std::string log = test::activityLogText(t);
  EXPECT_EQ(test::occurrences(
                log, "AM: Administrative test call scheduled for Octel Node serial number 40712 mailbox 9999.\r\n"),
            2);
  EXPECT_EQ(test::occurrences(log,
                              "AM: 40713 is configured for exclusion from test call generation.  Test call for "
                              "this node has not been scheduled.\r\n"),
            2);
  EXPECT_EQ(boxes(), std::vector<std::string>(2, "Test calls scheduled successfully."));
  EXPECT_EQ(t.host.boxes[0].icon, MessageIcon::Information);
  EXPECT_EQ(t->handledErrorCount, 0);
}

TEST_F(TestCalls, CancelingRemovesEveryRowOfTheTestMailboxWhateverItsNode) {
  nodes({"40712", "40713"});
  excludeFromTests("40713");
  for (const char* serial : {"40712", "40713", "50000"}) directoryRow(serial, "9999");
  directoryRow("40712", "1234");
  cancelTestCalls(*t);
  cancelTestCalls(*t);
  EXPECT_EQ(directory(), std::vector<std::string>{"40712|1234|2024-01-01|3"});
  const std::string log = test::activityLogText(t);
  for (const char* serial : {"40712", "40713", "50000"})
    EXPECT_EQ(test::occurrences(log, std::string("AM: Unscheduling administrative test call.  Mailbox 9999 is being "
                                                 "removed from the Octel Node ") +
                                         serial + " directory.\r\n"),
              1);
  EXPECT_LT(log.find("Node 50000 directory."), log.find("Pending test calls have been canceled."));
  EXPECT_EQ(boxes(), (std::vector<std::string>{"Pending test calls have been canceled.",
                                               "There are no pending test calls scheduled."}));
}

TEST_F(TestCalls, ALockedGatewayDatabaseCostsOneHandledErrorAndSchedulesNothing) {
  nodes({"40712", "40713"});
  t->settings.testCallMailboxId = "9999";
  t->gatewayQueryTimeoutSeconds = 1;
  gateway.lock();
  const auto start = std::chrono::steady_clock::now();
  scheduleTestCalls(*t);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2 * 1 + 1));
  gateway.unlock();
  EXPECT_EQ(t->handledErrorCount, 1);
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_TRUE(boxes()[0].ends_with(") in procedure scheduleTestCalls()")) << boxes()[0];
  EXPECT_TRUE(directory().empty());
}

TEST_F(TestCalls, WithoutNodesOrWithoutTheGatewayNothingIsTouchedNorReportedAsDone) {
  directoryRow("40712", "9999");
  scheduleTestCalls(*t);
  cancelTestCalls(*t);
  EXPECT_EQ(boxes(),
            (std::vector<std::string>{"There are no Octel Nodes configured.  No test calls have been scheduled.",
                                      "There are no Octel Nodes configured.  No test calls were pending."}));

  t.host.boxes.clear();
  nodes({"40712"});
  t->gatewayDataSource = "travik-test-no-such-dsn";
  scheduleTestCalls(*t);
  cancelTestCalls(*t);
  EXPECT_EQ(t->handledErrorCount, 2);
  ASSERT_EQ(t.host.boxes.size(), 2u);
  EXPECT_TRUE(t.host.boxes[0].text.ends_with(") in procedure scheduleTestCalls()"));
  EXPECT_TRUE(t.host.boxes[1].text.ends_with(") in procedure cancelTestCalls()"));
  EXPECT_EQ(directory(), std::vector<std::string>{"40712|9999|2024-01-01|3"});
}

TEST_F(TestCalls, AnEmptyMailboxIdTouchesNothingAndQuotesAreHarmless) {
  nodes({"O'Neil"});
  setApplicationParameter(*t, parameter::kTestCallMailboxId, "");
  directoryRow("40712", "");
  scheduleTestCalls(*t);
  cancelTestCalls(*t);
  EXPECT_EQ(directory(), std::vector<std::string>{"40712||2024-01-01|3"});
  EXPECT_EQ(test::occurrences(test::activityLogText(t),
                              "AM: No test-call mailbox is configured (TESTCALLMAILBOXID is empty)."),
            2);

  setApplicationParameter(*t, parameter::kTestCallMailboxId, "99'9");
  scheduleTestCalls(*t);
  EXPECT_EQ(directory(), (std::vector<std::string>{"40712||2024-01-01|3", "O'Neil|99'9|1900-01-01 00:00:00|1"}));
  cancelTestCalls(*t);
  EXPECT_EQ(directory(), std::vector<std::string>{"40712||2024-01-01|3"});
  EXPECT_EQ(t->handledErrorCount, 0);
}

}  // namespace
}  // namespace travik
