#include "processing/gateway/trace_level.h"

#include <gtest/gtest.h>

#include <chrono>

#include "processing/runtime/activity_log.h"
#include "tests/support/gateway_dsn.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

constexpr const char* kRaised =
    "Varnel analog call tracing level was not set to 'Verbose' or higher.  Varnel analog call tracing level must be "
    "set to 'Verbose' to provide sufficient data for TRAVIK to process.  TRAVIK will update the Varnel analog call "
    "tracing level to 'Verbose'.";
constexpr const char* kSucceeded = "Varnel analog call tracing level was successfully updated to 'Verbose'.";

class TraceLevel : public ::testing::Test {
 protected:
  explicit TraceLevel(bool service = false) : tp(service), gateway(tp.folder() / "gateway") {
    tp->gatewayDataSource = gateway.name();
  }
  void parameters(const std::vector<std::pair<std::string, std::string>>& rows) {
    auto insert = gateway.db().prepare("insert into systemparameters (propname, propvalue) values (?1, ?2)");
    for (const auto& [name, value] : rows) insert.bind(1, name).bind(2, value).run();
  }
  void version(const std::string& major, const std::string& minor, const std::string& level) {
    parameters({{"DB_VERSION_MAJOR", major}, {"DB_VERSION_MINOR", minor}, {"CALL_TRACING_LEVEL", level}});
  }
  std::string level() {
    auto query = gateway.db().prepare("select propvalue from systemparameters where propname = 'CALL_TRACING_LEVEL'");
    return query.step() ? query.getText(0) : "<none>";
  }
  std::vector<int> eventIds() {
    std::vector<int> ids;
    for (const auto& entry : tp.events.entries) ids.push_back(entry.eventId);
    return ids;
  }
  std::vector<std::string> boxTexts() {
    std::vector<std::string> texts;
    for (const auto& box : tp.host.boxes) texts.push_back(box.text);
    return texts;
  }

  test::TestProgram tp;
  test::GatewayDsn gateway;
};

TEST_F(TraceLevel, ALevelHighEnoughForItsVersionIsLeftAloneSilently) {
  version("2", "4", "4");
  setMervaleTraceLevelVerbose(*tp);
  EXPECT_EQ(level(), "4");
  gateway.db().exec(
      "update systemparameters set propvalue = case propname when 'DB_VERSION_MAJOR' then '1' "
      "when 'DB_VERSION_MINOR' then '9' else '8' end");
  setMervaleTraceLevelVerbose(*tp);
  EXPECT_EQ(level(), "8");
  EXPECT_TRUE(tp.host.boxes.empty());
  EXPECT_TRUE(tp.events.entries.empty());
  EXPECT_EQ(tp->handledErrorCount, 0);
}

TEST_F(TraceLevel, VersionThreeZeroNeedsEightBecauseTheMinorIsComparedOnItsOwn) {
  version("3", "0", "4");
  setMervaleTraceLevelVerbose(*tp);
  EXPECT_EQ(level(), "8");
  EXPECT_EQ(boxTexts(), (std::vector<std::string>{kRaised, kSucceeded}));
  EXPECT_EQ(tp.host.boxes[0].icon, MessageIcon::Information);
  EXPECT_EQ(eventIds(), (std::vector<int>{20, 22}));
  EXPECT_EQ(tp.events.entries[0].kind, platform::EventKind::Warning);
  EXPECT_EQ(tp.events.entries[1].kind, platform::EventKind::Information);
}

TEST_F(TraceLevel, ARaiseThatDoesNotStayIsReportedAsUnsuccessful) {
  version("2", "5", "2");
  // The gateway's own administration page writing the old value back.
  gateway.db().exec(
      "create trigger revert after update on systemparameters when new.propname = 'CALL_TRACING_LEVEL' "
      "begin update systemparameters set propvalue = '2' where rowid = new.rowid; end");
  setMervaleTraceLevelVerbose(*tp);
  EXPECT_EQ(eventIds(), (std::vector<int>{20, 21}));
  EXPECT_EQ(tp.events.entries[1].kind, platform::EventKind::Warning);
  EXPECT_EQ(tp.host.boxes.back().text.substr(0, 58), "Update of the Varnel analog call tracing level was unsucce");
}

class TraceLevelInService : public TraceLevel {
 protected:
  TraceLevelInService() : TraceLevel(true) {}
};

TEST_F(TraceLevelInService, TheServiceRaisesToFourOnVersionTwoFiveAndOnlyLogs) {
  tp.openLog();
  version("2", "5", "2");
  setMervaleTraceLevelVerbose(*tp);
  EXPECT_EQ(level(), "4");
  EXPECT_TRUE(tp.host.boxes.empty());
  EXPECT_EQ(eventIds(), (std::vector<int>{20, 22}));
  flushActivityLog(*tp);
  const std::string log = test::readFile(tp->activityLog.fileName);
  EXPECT_NE(log.find(kRaised), std::string::npos);
  EXPECT_NE(log.find(kSucceeded), std::string::npos);
}

TEST_F(TraceLevel, AnEmptyTableIsReportedWithoutAnEvent) {
  setMervaleTraceLevelVerbose(*tp);
  ASSERT_EQ(tp.host.boxes.size(), 1u);
  EXPECT_EQ(tp.host.boxes[0].text,
            "Could not determine Varnel analog call tracing level.  Verify that the call tracing level is set to "
            "'Verbose' in the System Settings page of the Varnel administration interface.");
  EXPECT_TRUE(tp.events.entries.empty());
}

TEST_F(TraceLevel, WithoutALevelRowNothingIsWrittenOrReported) {
  parameters({{"DB_VERSION_MAJOR", "3"}, {"DB_VERSION_MINOR", "0"}, {"call_tracing_level", "1"}});
  setMervaleTraceLevelVerbose(*tp);
  EXPECT_TRUE(tp.host.boxes.empty());
  EXPECT_TRUE(tp.events.entries.empty());
  auto unchanged = gateway.db().prepare("select propvalue from systemparameters where propname = 'call_tracing_level'");
  ASSERT_TRUE(unchanged.step());
  EXPECT_EQ(unchanged.getText(0), "1");
}

TEST_F(TraceLevel, AValueThatIsNotANumberIsAHandledErrorAndReadsAsNought) {
  version("3", "0", "Verbose");
  setMervaleTraceLevelVerbose(*tp);
  EXPECT_EQ(tp->handledErrorCount, 1);
  EXPECT_EQ(level(), "8");
  EXPECT_EQ(eventIds(), (std::vector<int>{20, 22}));
}

TEST_F(TraceLevel, AMissingDataSourceIsReportedOnceAndTheCheckEnds) {
  tp->gatewayDataSource = "no-such-gateway";
  setMervaleTraceLevelVerbose(*tp);
  EXPECT_EQ(tp->handledErrorCount, 1);
  ASSERT_EQ(tp.host.boxes.size(), 1u);
  EXPECT_EQ(tp.host.boxes[0].text.substr(0, 20), "(error):-2147217843 ");
  EXPECT_NE(tp.host.boxes[0].text.find(") in procedure setMervaleTraceLevelVerbose()"), std::string::npos);
  EXPECT_TRUE(tp.events.entries.empty());
}

TEST_F(TraceLevel, ALockedGatewayDatabaseCostsOneHandledErrorAfterTheQueryTimeout) {
  version("3", "0", "4");
  tp->gatewayQueryTimeoutSeconds = 1;
  gateway.lock();
  const auto start = std::chrono::steady_clock::now();
  setMervaleTraceLevelVerbose(*tp);
  // The connection and the statement may each wait out the timeout, no more.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2 * 1 + 1));
  gateway.unlock();
  EXPECT_EQ(tp->handledErrorCount, 1);
  ASSERT_EQ(tp.host.boxes.size(), 1u);
  EXPECT_NE(tp.host.boxes[0].text.find("locked"), std::string::npos) << tp.host.boxes[0].text;
  EXPECT_EQ(level(), "4");
  EXPECT_TRUE(tp.events.entries.empty());
}

}  // namespace
}  // namespace travik
