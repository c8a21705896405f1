#include "service/service_timers.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/instance_lock.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/handled_error.h"
#include "tests/support/gateway_dsn.h"
#include "tests/support/lock_holder.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;

constexpr const char* kProcessingLine =
    "Wait between automatic call data processing intervals has elapsed.  Automatic processing initiated.";
constexpr const char* kSkipLine =
    "TRAVIK Administration application is running.  This automatic call data processing cycle will be skipped.";
constexpr const char* kTestCallLine =
    "Wait between automatic test call generation has elapsed.  Next series of test calls has been initiated.";

// A started service program with its log open, a trace file in its trace
// folder and both cycles due now.
struct Ticks {
  Ticks() {
    test::writeFile(t.traceFolder() / "MVLOG.001", "2026/03/02-07:59:58.120 00000000 Line 1: Call Received.\r\n");
    t.host.clock = DateTime(2026, 3, 2, 8, 0, 0);
    t.openLog();
    times.nextProcessTime = t.host.clock;
    times.nextTestCallTime = t.host.clock;
  }
  // Both cycles due on the calendar's last day, so no next due time fits.
  // The log is closed: the file system dates a log file by the real clock,
  // and a file dated before the clock's day would begin a new one at every line.
  void lastDayOfTheCalendar() {
    closeActivityLog(*t);
    t.host.clock = DateTime(9999, 12, 31, 8, 0, 0);
    times.nextProcessTime = t.host.clock;
    times.nextTestCallTime = t.host.clock;
  }
  void setParameter(const std::string& property, const std::string& value) {
    auto update = t->db.prepare("update applicationparameters set value = ?1 where property = ?2");
    update.bind(1, value).bind(2, property).run();
  }
  // The activity log as it stands on disk after a flush.
  std::string log() {
    flushActivityLog(*t);
    return test::readFile(t->activityLog.fileName);
  }
  static int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }
  std::vector<int> eventIds() const {
    std::vector<int> ids;
    for (const auto& entry : t.events.entries) ids.push_back(entry.eventId);
    return ids;
  }

  test::TestProgram t;
  CycleTimes times;
};

TEST(ServiceIntervals, AMinuteIsTheSystemsShortMinuteAndTheDueTimeRoundsUpToTheSecond) {
  EXPECT_EQ(processIntervalDelaySeconds(900), 900);    // 899.999424 s
  EXPECT_EQ(processIntervalDelaySeconds(3600), 3600);  // 3599.997696 s
  EXPECT_EQ(processIntervalDelaySeconds(1), 1);        // 0.99999936 s
  EXPECT_EQ(processIntervalDelaySeconds(0), 0);
  EXPECT_EQ(processIntervalDelaySeconds(1562500), 1562499);  // exactly 1562499 s
  EXPECT_EQ(processIntervalDelaySeconds(-10), -9);           // -9.9999936 s
  EXPECT_EQ(testCallIntervalDelaySeconds(1), 60);            // 59.9999616 s
  EXPECT_EQ(testCallIntervalDelaySeconds(1440), 86400);      // 86399.944704 s
  EXPECT_EQ(testCallIntervalDelaySeconds(78125), 4687497);   // exactly 4687497 s
  EXPECT_EQ(testCallIntervalDelaySeconds(0), 0);
  EXPECT_EQ(testCallIntervalDelaySeconds(2147483647), 128848936357);
}

TEST(ServiceTicks, ATickBeforeTheDueTimeReadsNoSettingsAndWritesNothing) {
  Ticks s;
  const std::string before = s.log();
  s.times.nextProcessTime = s.t.host.clock.addSeconds(1);
  s.times.nextTestCallTime = s.t.host.clock.addSeconds(1);
  s.setParameter("PROCESSINTERVALINSECONDS", "60");
  s.setParameter("AUTOTEST", "True");
  const CycleTimes kept = s.times;

  tmrTimer_Timer(*s.t, s.times);
  tmrTestCalls_Timer(*s.t, s.times);

  EXPECT_EQ(s.log(), before);
  EXPECT_EQ(s.t->settings.processIntervalSeconds, 3600);
  EXPECT_FALSE(s.t->settings.autoTest);
  EXPECT_TRUE(s.t.events.entries.empty());
  EXPECT_EQ(s.times.nextProcessTime, kept.nextProcessTime);
  EXPECT_EQ(s.times.nextTestCallTime, kept.nextTestCallTime);
}

TEST(ServiceTicks, ADueProcessingTickRereadsTheSettingsAndCountsTheIntervalFromTheEndOfTheWork) {
  Ticks s;
  s.setParameter("PROCESSINTERVALINSECONDS", "900");
  // The work of the cycle takes ten minutes of the clock.
  s.t.host.onYield = [&] { s.t.host.clock = DateTime(2026, 3, 2, 8, 10, 0); };
  tmrTimer_Timer(*s.t, s.times);
  s.t.host.onYield = nullptr;

  const std::string log = s.log();
  EXPECT_EQ(Ticks::count(log, std::string("8:00:00 AM: ") + kProcessingLine), 1);
  EXPECT_EQ(Ticks::count(log, kSkipLine), 0);
  EXPECT_EQ(Ticks::count(log, "Please configure a valid path"), 0);
  EXPECT_EQ(s.t->settings.processIntervalSeconds, 900);
  // 08:10:00 plus 899.999424 s: due at 08:25:00, 25 minutes after the start of the cycle.
  EXPECT_EQ(s.times.nextProcessTime, DateTime(2026, 3, 2, 8, 25, 0));
  EXPECT_EQ(s.times.nextTestCallTime, DateTime(2026, 3, 2, 8, 0, 0));
}

TEST(ServiceTicks, WhileTheConsoleRunsEachDueTickLogsTheSkipAndTheNextTryIsAFullIntervalLater) {
  Ticks s;
  s.setParameter("ADMINRUNNING", "True");
  test::LockHolder console(platform::consoleLockFile(s.t->programFolder));
  ASSERT_EQ(console.result(), platform::LockResult::Taken);
  tmrTimer_Timer(*s.t, s.times);
  std::string log = s.log();
  EXPECT_LT(log.find(kProcessingLine), log.find(kSkipLine));
  EXPECT_EQ(Ticks::count(log, kSkipLine), 1);
  EXPECT_EQ(s.times.nextProcessTime, DateTime(2026, 3, 2, 9, 0, 0));

  // The next 15-second tick is not due.
  s.t.host.clock = s.t.host.clock.addSeconds(15);
  tmrTimer_Timer(*s.t, s.times);
  EXPECT_EQ(Ticks::count(s.log(), kSkipLine), 1);

  s.t.host.clock = DateTime(2026, 3, 2, 9, 0, 0);
  tmrTimer_Timer(*s.t, s.times);
  log = s.log();
  EXPECT_EQ(Ticks::count(log, kProcessingLine), 2);
  EXPECT_EQ(Ticks::count(log, kSkipLine), 2);
  EXPECT_EQ(s.t->handledErrorCount, 0);
  EXPECT_TRUE(s.t.events.entries.empty());
}

// A console that did not end in order (SIGKILL, a crash) left ADMINRUNNING
// "True"; no console holds its lock, so the mark is stale: the cycle runs,
// and the log says so once per stale episode.
TEST(ServiceTicks, AConsoleMarkThatNoConsoleHoldsIsStaleAndTheCycleRuns) {
  Ticks s;
  s.setParameter("ADMINRUNNING", "True");
  const std::string stale = "ADMINRUNNING reads \"True\" but no TRAVIK Administration application holds its lock";
  const auto dueTick = [&] {
    s.times.nextProcessTime = s.t.host.clock;
    tmrTimer_Timer(*s.t, s.times);
    return s.log();
  };
  std::string log = dueTick();
  EXPECT_EQ(Ticks::count(log, stale), 1) << log;
  EXPECT_EQ(Ticks::count(log, kSkipLine), 0);
  EXPECT_EQ(Ticks::count(log, "Processing complete."), 1);
  log = dueTick();
  EXPECT_EQ(Ticks::count(log, stale), 1) << "one report per stale episode";
  EXPECT_EQ(Ticks::count(log, "Processing complete."), 2);
  {
    // A console runs: its mark holds.
    test::LockHolder console(platform::consoleLockFile(s.t->programFolder));
    log = dueTick();
    EXPECT_EQ(Ticks::count(log, kSkipLine), 1);
    EXPECT_EQ(Ticks::count(log, "Processing complete."), 2);
    console.kill();
  }
  // Killed, it leaves the mark stale again: a new episode, reported again.
  log = dueTick();
  EXPECT_EQ(Ticks::count(log, stale), 2) << log;
  EXPECT_EQ(Ticks::count(log, "Processing complete."), 3);
  EXPECT_EQ(s.t->handledErrorCount, 0);
}

TEST(ServiceTicks, MissingFoldersSkipTheCycleWithTheirOwnReportsAndNoError) {
  Ticks s;
  fs::remove_all(s.t.traceFolder());
  tmrTimer_Timer(*s.t, s.times);
  EXPECT_EQ(Ticks::count(s.log(), s.t.traceFolder().string() +
                                      " does not exist.  Please configure a valid path for the log files."),
            1);
  EXPECT_EQ(s.times.nextProcessTime, DateTime(2026, 3, 2, 9, 0, 0));

  test::writeFile(s.t.folder() / "MVLOG.002", "");
  s.setParameter("DEFAULTMVLOGPATH", s.t.folder().string());
  fs::remove_all(s.t.outputFolder());
  s.times.nextProcessTime = s.t.host.clock;
  tmrTimer_Timer(*s.t, s.times);
  // The folder check reports it, and so does each log line that cannot be written.
  EXPECT_EQ(s.eventIds(), (std::vector<int>{17, 17}));
  EXPECT_EQ(s.times.nextProcessTime, DateTime(2026, 3, 2, 9, 0, 0));
  EXPECT_EQ(s.t->handledErrorCount, 0);
}

TEST(ServiceTicks, WithAutoTestOffADueTestCallTickOnlyMovesItsDueTime) {
  Ticks s;
  const std::string before = s.log();
  s.setParameter("TESTCALLINTERVALINMINUTES", "60");
  tmrTestCalls_Timer(*s.t, s.times);
  EXPECT_EQ(s.log(), before);
  EXPECT_TRUE(s.t.events.entries.empty());
  EXPECT_EQ(s.times.nextTestCallTime, DateTime(2026, 3, 2, 9, 0, 0));

  // Switched on now, the first test calls wait for the next due tick.
  s.setParameter("AUTOTEST", "True");
  s.t.host.clock = DateTime(2026, 3, 2, 8, 59, 59);
  tmrTestCalls_Timer(*s.t, s.times);
  EXPECT_EQ(Ticks::count(s.log(), kTestCallLine), 0);
  s.t.host.clock = DateTime(2026, 3, 2, 9, 0, 0);
  tmrTestCalls_Timer(*s.t, s.times);
  EXPECT_EQ(Ticks::count(s.log(), kTestCallLine), 1);
  EXPECT_EQ(s.times.nextTestCallTime, DateTime(2026, 3, 2, 10, 0, 0));
}

TEST(ServiceTicks, WithAutoTestOnAndNoOutputFolderNoTestCallsAreStarted) {
  Ticks s;
  s.setParameter("AUTOTEST", "True");
  fs::remove_all(s.t.outputFolder());
  tmrTestCalls_Timer(*s.t, s.times);
  EXPECT_EQ(s.eventIds(), std::vector<int>{17});
  EXPECT_EQ(s.times.nextTestCallTime, DateTime(2026, 3, 3, 8, 0, 0));
}

TEST(ServiceTicks, TheTestCallCycleSchedulesThroughTheGatewaysDataSource) {
  Ticks s;
  test::GatewayDsn gateway(s.t.folder() / "gateway", "mervale-service-test");
  s.t->gatewayDataSource = gateway.name();
  gateway.db().exec(
      "insert into octelnode (serialno) values ('1001'), ('1002'), ('AB12');"
      "insert into directory (serialno, mailboxno, lastreferenced, entrytype) "
      "values ('1001', '4711', '2026-01-05 10:00:00', 0);");
  s.t->db.exec("insert into excludeFromTestCalls (serialno) values ('AB12')");
  s.setParameter("AUTOTEST", "True");
  s.setParameter("TESTCALLINTERVALINMINUTES", "30");

  tmrTestCalls_Timer(*s.t, s.times);
  EXPECT_EQ(s.times.nextTestCallTime, DateTime(2026, 3, 2, 8, 30, 0));
  s.t.host.clock = s.times.nextTestCallTime;
  tmrTestCalls_Timer(*s.t, s.times);

  const std::string log = s.log();
  EXPECT_EQ(Ticks::count(log, kTestCallLine), 2);
  // Whatever the scheduling added: only test-mailbox rows, none for the
  // excluded node, never two for one node, and the gateway's own row kept.
  std::multiset<std::string> pending;
  auto rows = gateway.db().prepare("select serialno, mailboxno from directory");
  bool ownRowKept = false;
  while (rows.step()) {
    if (rows.getText(1) == "4711") {
      ownRowKept = rows.getText(0) == "1001";
      continue;
    }
    EXPECT_EQ(rows.getText(1), "9999");
    pending.insert(rows.getText(0));
  }
  EXPECT_TRUE(ownRowKept);
  EXPECT_EQ(pending.count("AB12"), 0u);
  for (const auto& node : pending) {
    EXPECT_EQ(pending.count(node), 1u) << node;
    EXPECT_NE(log.find("Administrative test call scheduled for Octel Node serial number " + node + " mailbox 9999."),
              std::string::npos);
  }
  EXPECT_EQ(s.t->handledErrorCount, 0);
}

TEST(ServiceTicks, AnErrorInTheLastStepIsEvent4AndKeepsTheCycleDue) {
  Ticks s;
  // A day before the end of the calendar the due time can hold.
  s.lastDayOfTheCalendar();
  tmrTestCalls_Timer(*s.t, s.times);

  const std::string line = "(error):6 (Overflow) in procedure tmrTestCalls_Timer";
  ASSERT_EQ(s.eventIds(), std::vector<int>{4});
  EXPECT_EQ(s.t.events.entries[0].kind, platform::EventKind::Error);
  EXPECT_EQ(s.t.events.entries[0].text, line);
  EXPECT_EQ(s.t->handledErrorCount, 1);
  EXPECT_EQ(s.times.nextTestCallTime, DateTime(9999, 12, 31, 8, 0, 0));

  s.t.host.clock = s.t.host.clock.addSeconds(15);
  tmrTestCalls_Timer(*s.t, s.times);
  EXPECT_EQ(s.t->handledErrorCount, 2);
}

TEST(ServiceTicks, The51stHandledErrorInATickEndsTheService) {
  Ticks s;
  s.lastDayOfTheCalendar();
  s.setParameter("SERVICEPROCESSING", "True");
  s.t->handledErrorCount = 50;
  EXPECT_THROW(tmrTestCalls_Timer(*s.t, s.times), ProgramEnded);
  EXPECT_EQ(s.eventIds(), (std::vector<int>{4, 18, 2}));
  s.t.connect();
  EXPECT_FALSE(s.t->settings.serviceProcessing);
}

}  // namespace
}  // namespace travik
