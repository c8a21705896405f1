#include <gtest/gtest.h>
#include <pthread.h>

#include <functional>
#include <string>
#include <vector>

#include "processing/runtime/activity_log.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/handled_error.h"
#include "service/event_loop.h"
#include "service/service_host.h"
#include "service/service_startup.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;

// A machine whose clock moves only when the loop waits, and whose stop
// request comes when the test says.
class FakeLoopPlatform : public LoopPlatform {
 public:
  std::int64_t steadyMilliseconds() override { return milliseconds; }
  DateTime localNow() override {
    if (onLocalNow) onLocalNow();
    return start.addSeconds(milliseconds / 1000);
  }
  bool waitForStop(std::int64_t wait) override {
    ++waits;
    if (stopRequested()) return true;
    if (stopAt >= 0 && milliseconds + wait >= stopAt) {
      milliseconds = stopAt;
      return true;
    }
    milliseconds += wait;
    return false;
  }
  bool stopRequested() override { return stop || (stopAt >= 0 && milliseconds >= stopAt); }

  std::int64_t milliseconds = 0;
  DateTime start = DateTime(2026, 3, 2, 8, 0, 0);
  std::int64_t stopAt = -1;  // steady time of the stop request; -1 never
  bool stop = false;
  int waits = 0;
  std::function<void()> onLocalNow;
};

TEST(EventLoop, TimersTickOnTheirIntervalUntilAStopRequestEndsTheLoop) {
  FakeLoopPlatform platform;
  EventLoop loop(platform);
  std::vector<std::int64_t> fast, slow;
  const auto a = loop.addTimer("fast", 15000, [&] { fast.push_back(platform.milliseconds); });
  const auto b = loop.addTimer("slow", 60000, [&] { slow.push_back(platform.milliseconds); });
  loop.setTimerEnabled(a, true);
  loop.setTimerEnabled(b, true);
  int stops = 0;
  loop.onStop = [&] { ++stops; };
  platform.stopAt = 75000;
  loop.run();
  EXPECT_EQ(fast, (std::vector<std::int64_t>{15000, 30000, 45000, 60000}));
  EXPECT_EQ(slow, (std::vector<std::int64_t>{60000}));
  EXPECT_EQ(stops, 1);
  // Once stopping, yields and pauses neither tick nor stop again.
  loop.processEvents();
  loop.pause(100000);
  EXPECT_EQ(fast.size(), 4u);
  EXPECT_EQ(stops, 1);
}

TEST(EventLoop, ADisabledTimerNeverTicksAndEnablingStartsItsIntervalAnew) {
  FakeLoopPlatform platform;
  EventLoop loop(platform);
  int ticks = 0;
  const auto timer = loop.addTimer("t", 60000, [&] { ++ticks; });
  platform.milliseconds = 100000;
  loop.processEvents();
  EXPECT_EQ(ticks, 0);
  loop.setTimerEnabled(timer, true);
  platform.milliseconds = 159999;
  loop.processEvents();
  EXPECT_EQ(ticks, 0);
  loop.setTimerEnabled(timer, true);  // already enabled: the interval goes on
  platform.milliseconds = 160000;
  loop.processEvents();
  EXPECT_EQ(ticks, 1);
}

TEST(EventLoop, AYieldRunsOtherDueTimersButNeverTheTimerWhoseTickIsUnderWay) {
  FakeLoopPlatform platform;
  EventLoop loop(platform);
  std::vector<std::string> order;
  int depth = 0, deepest = 0, bTicksDuringPause = -1;
  EventLoop::TimerId a = 0, b = 0;
  a = loop.addTimer("a", 15000, [&] {
    deepest = std::max(deepest, ++depth);
    order.push_back("a begins");
    const auto before = order.size();
    loop.pause(40000);  // a's own timer falls due again meanwhile
    bTicksDuringPause = static_cast<int>(order.size() - before);
    loop.processEvents();
    order.push_back("a ends");
    --depth;
  });
  b = loop.addTimer("b", 15000, [&] { order.push_back("b"); });
  loop.setTimerEnabled(a, true);
  platform.milliseconds = 5000;
  loop.setTimerEnabled(b, true);

  platform.milliseconds = 15000;
  loop.processEvents();
  EXPECT_EQ(deepest, 1);
  EXPECT_EQ(bTicksDuringPause, 0);
  EXPECT_EQ(order, (std::vector<std::string>{"a begins", "b", "a ends"}));

  // After its tick has returned, the timer ticks again at the next chance.
  loop.processEvents();
  EXPECT_EQ(order.back(), "a ends");
  EXPECT_EQ(order.size(), 6u);
}

TEST(EventLoop, AStopRequestDuringAPauseEndsThePauseAndStopsOnce) {
  FakeLoopPlatform platform;
  EventLoop loop(platform);
  int stops = 0;
  loop.onStop = [&] { ++stops; };
  platform.stopAt = 1000;
  loop.pause(3000);
  EXPECT_EQ(platform.milliseconds, 1000);
  EXPECT_EQ(stops, 1);
  EXPECT_TRUE(loop.stopping());
  loop.processEvents();
  EXPECT_EQ(stops, 1);
}

TEST(SignalLoopPlatform, SigtermIsHeldUntilTheLoopAsksAndThenEndsWaits) {
  sigset_t previous;
  pthread_sigmask(SIG_SETMASK, nullptr, &previous);
  {
    SignalLoopPlatform platform;
    EXPECT_FALSE(platform.stopRequested());
    EXPECT_FALSE(platform.waitForStop(0));
    pthread_kill(pthread_self(), SIGTERM);  // blocked: stays pending instead of ending the test
    EXPECT_TRUE(platform.stopRequested());
    EXPECT_TRUE(platform.waitForStop(60000));
    sigset_t pending;
    sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGTERM), 0);
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

// The service program over a temporary program folder, on a fake machine.
struct Service {
  Service() {
    test::createDeliveredDatabase(folder() / "vrndata.mdb");
    fs::create_directories(folder() / "output");
    fs::create_directories(folder() / "traces");
    test::writeFile(folder() / "traces" / "MVLOG.001", "2026/03/02-07:59:58.120 00000000 Line 1: Call Received.\r\n");
    setParameter("DEFAULTOUTPUTPATH", (folder() / "output").string());
    setParameter("DEFAULTMVLOGPATH", (folder() / "traces").string());
    program.exitProcess = [](int code) { throw ProgramEnded{code}; };
    program.databaseBusyTimeoutMs = 200;
    program.defaultTraceFolder = folder() / "no-gateway-log";
    program.gatewayDataSource = "travik-test-no-such-dsn";
  }
  fs::path folder() const { return temp.path(); }
  void setParameter(const std::string& property, const std::string& value) {
    db::Connection db;
    db.open((folder() / "vrndata.mdb").string());
    db.prepare("update applicationparameters set value = ?1 where property = ?2")
        .bind(1, value)
        .bind(2, property)
        .run();
  }
  std::string parameter(const std::string& property) {
    db::Connection db;
    db.open((folder() / "vrndata.mdb").string());
    auto row = db.prepare("select value from applicationparameters where property = ?1");
    row.bind(1, property);
    return row.step() ? row.getText(0) : "<none>";
  }
  std::string logOnDisk() const { return test::readFile(program.activityLog.fileName); }
  std::vector<int> eventIds() const {
    std::vector<int> ids;
    for (const auto& entry : events.entries) ids.push_back(entry.eventId);
    return ids;
  }
  // Runs the loop until the stop request has ended the program.
  int runUntilEnded() {
    try {
      loop.run();
    } catch (const ProgramEnded& ended) {
      return ended.exitCode;
    }
    ADD_FAILURE() << "the loop returned without ending the program";
    return -1;
  }

  test::TempFolder temp;
  FakeLoopPlatform platform;
  EventLoop loop{platform};
  ServiceHost host{loop, platform};
  platform::MemoryEventLog events;
  Program program{temp.path(), "TRAVIKservice", true, host, events};
  ServiceStartup startup{program, loop, host};
};

constexpr const char* kProcessingLine =
    "Wait between automatic call data processing intervals has elapsed.  Automatic processing initiated.";
constexpr const char* kTestCallLine =
    "Wait between automatic test call generation has elapsed.  Next series of test calls has been initiated.";

TEST(ServiceStartup, StartsWithEvent1ClearsALeftOverServiceProcessingAndMakesBothCyclesDueNow) {
  Service s;
  s.setParameter("SERVICEPROCESSING", "True");
  s.platform.milliseconds = 7000;
  s.startup.formLoad();
  ASSERT_FALSE(s.events.entries.empty());
  EXPECT_EQ(s.events.entries.front().eventId, 1);
  EXPECT_EQ(s.events.registered, "TRAVIK Service");
  EXPECT_EQ(s.parameter("SERVICEPROCESSING"), "False");
  EXPECT_FALSE(s.program.settings.serviceProcessing);
  EXPECT_FALSE(s.program.gatewayNotInstalled);
  EXPECT_EQ(s.startup.times.nextProcessTime, DateTime(2026, 3, 2, 8, 0, 7));
  EXPECT_EQ(s.startup.times.nextTestCallTime, DateTime(2026, 3, 2, 8, 0, 7));
  EXPECT_TRUE(s.loop.timerEnabled(s.startup.tmrTimer));
  EXPECT_TRUE(s.loop.timerEnabled(s.startup.tmrTestCalls));
  EXPECT_TRUE(s.loop.timerEnabled(s.startup.tmrLogFlushTimer));
}

TEST(ServiceStartup, WithoutAnOutputFolderNoLogIsOpenedAndTheFlushTimerStaysOff) {
  Service s;
  fs::remove_all(s.folder() / "output");
  s.startup.formLoad();
  EXPECT_TRUE(s.program.activityLog.fileName.empty());
  EXPECT_FALSE(s.loop.timerEnabled(s.startup.tmrLogFlushTimer));
  EXPECT_TRUE(s.loop.timerEnabled(s.startup.tmrTimer));
}

TEST(ServiceLoop, BothCyclesRunAtTheFirstTicksAndTheLogReachesTheDiskEachMinute) {
  Service s;
  s.setParameter("AUTOTEST", "True");
  s.startup.formLoad();
  const std::string logFile = s.program.activityLog.fileName;
  ASSERT_FALSE(logFile.empty());

  s.platform.milliseconds = 14999;
  s.loop.processEvents();
  EXPECT_EQ(s.startup.times.nextProcessTime, DateTime(2026, 3, 2, 8, 0, 0));

  s.platform.milliseconds = 15000;
  s.loop.processEvents();
  // The processing run's pauses take time; its interval counts from its end.
  const DateTime endOfRun = s.platform.start.addSeconds(s.platform.milliseconds / 1000);
  EXPECT_EQ(s.startup.times.nextProcessTime, endOfRun.addSeconds(3600));
  // The test calls wait on the gateway, so they never run inside the run:
  // they went ahead when it had ended.
  EXPECT_EQ(s.startup.times.nextTestCallTime, endOfRun.addSeconds(86400));

  s.platform.milliseconds = 60000;
  s.loop.processEvents();
  const std::string log = test::readFile(logFile);
  const auto processing = log.find(kProcessingLine);
  ASSERT_NE(processing, std::string::npos);
  EXPECT_EQ(log.find(kProcessingLine, processing + 1), std::string::npos);
  // The test-call cycle ran after the processing cycle.
  EXPECT_LT(processing, log.find(kTestCallLine));
}

TEST(ServiceLoop, ASigtermDuringARunEndsTheServiceInOrder) {
  Service s;
  s.startup.formLoad();
  const auto errorsAtStart = s.program.handledErrorCount;
  // The request arrives while the processing cycle is under way, after it
  // has marked the database as being processed.
  bool requested = false;
  s.platform.onLocalNow = [&] {
    if (requested || s.platform.milliseconds < 15000) return;
    requested = true;
    s.program.db.exec("update applicationparameters set value = 'True' where property = 'SERVICEPROCESSING'");
    s.platform.stop = true;
  };
  EXPECT_EQ(s.runUntilEnded(), 0);

  EXPECT_TRUE(requested);
  EXPECT_EQ(s.parameter("SERVICEPROCESSING"), "False");
  ASSERT_FALSE(s.events.entries.empty());
  EXPECT_EQ(s.events.entries.front().eventId, 1);
  EXPECT_EQ(s.events.entries.back().eventId, 2);
  EXPECT_TRUE(s.events.released);
  EXPECT_NE(s.logOnDisk().find(kProcessingLine), std::string::npos);
  EXPECT_FALSE(s.program.db.isOpen());
  EXPECT_EQ(s.program.handledErrorCount, errorsAtStart);
}

TEST(ServiceLoop, ASigtermBetweenCyclesEndsTheServiceInOrder) {
  Service s;
  s.startup.formLoad();
  s.platform.stopAt = 40000;
  EXPECT_EQ(s.runUntilEnded(), 0);
  EXPECT_EQ(s.eventIds().back(), 2);
  EXPECT_EQ(s.parameter("SERVICEPROCESSING"), "False");
  EXPECT_NE(s.logOnDisk().find(kProcessingLine), std::string::npos);
}

TEST(ServiceHost, SleepIsAPauseWithoutTicksAndYieldRunsTheDueOnes) {
  FakeLoopPlatform platform;
  EventLoop loop(platform);
  ServiceHost host(loop, platform);
  int ticks = 0;
  loop.setTimerEnabled(loop.addTimer("t", 15000, [&] { ++ticks; }), true);
  EXPECT_EQ(host.messageBox("?", "TRAVIK", MessageButtons::OkCancel, MessageIcon::Exclamation), MessageResult::Ok);

  host.sleep(20000);
  EXPECT_EQ(platform.milliseconds, 20000);
  EXPECT_EQ(ticks, 0);
  host.yield();
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(host.now(), DateTime(2026, 3, 2, 8, 0, 20));
}

}  // namespace
}  // namespace travik
