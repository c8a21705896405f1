// SIGTERM at each place where the service can be busy: a pause, the read of a
// trace file, the walk of a line, the writing of a report, a call to a locked
// gateway database.  The signal comes from a second thread, as systemd's
// comes from another process; the service must end in order, promptly, and
// leave nothing half done behind.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>

#include "processing/runtime/file_times.h"
#include "processing/runtime/handled_error.h"
#include "processing/runtime/start_up.h"
#include "service/event_loop.h"
#include "service/service_host.h"
#include "service/service_startup.h"
#include "tests/support/gateway_dsn.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The real stop signals on a clock that moves only when the loop waits, so the
// run's long pauses take no time while SIGTERM is still the real one.
class InstantPlatform : public SignalLoopPlatform {
 public:
  std::int64_t steadyMilliseconds() override { return milliseconds; }
  DateTime localNow() override { return start.addSeconds(milliseconds / 1000); }
  bool waitForStop(std::int64_t wait) override {
    if (stopRequested()) return true;
    milliseconds += wait;
    return stopRequested();
  }
  // A service that was never stopped ends the test after a day of its time.
  bool stopRequested() override { return milliseconds > 24 * 3600 * 1000 || SignalLoopPlatform::stopRequested(); }
  std::int64_t milliseconds = 0;
  DateTime start = DateTime(2026, 3, 2, 8, 0, 0);
};

bool sigtermPending() {
  sigset_t pending;
  sigpending(&pending);
  return sigismember(&pending, SIGTERM) == 1;
}

// A second thread that sends SIGTERM to the process when asked.  Created
// after the platform has blocked the signal, so it inherits the block and the
// signal stays pending for the loop to find.
class Terminator {
 public:
  Terminator()
      : thread_([this] {
          std::unique_lock lock(mutex_);
          if (!asked_.wait_for(lock, 60s, [&] { return send_ || quit_; }) || quit_) return;
          ::kill(::getpid(), SIGTERM);
        }) {}
  ~Terminator() {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    asked_.notify_all();
    thread_.join();
  }
  // Asks for the signal and waits (bounded) until it is pending.
  void send() {
    {
      std::lock_guard lock(mutex_);
      send_ = true;
    }
    asked_.notify_all();
    const auto deadline = Clock::now() + 10s;
    while (!sigtermPending() && Clock::now() < deadline) std::this_thread::yield();
    sentAt = Clock::now();
    ASSERT_TRUE(sigtermPending());
  }
  Clock::time_point sentAt;

 private:
  std::mutex mutex_;
  std::condition_variable asked_;
  bool send_ = false, quit_ = false;
  std::thread thread_;
};

// The service's host, with a hook at each place the test wants to stop at.
class ProbedHost : public ServiceHost {
 public:
  using ServiceHost::ServiceHost;
  void sleep(int milliseconds) override {
    if (onSleep) onSleep(milliseconds);
    ServiceHost::sleep(milliseconds);
  }
  void honourStop() override {
    if (onHonourStop) onHonourStop();
    ServiceHost::honourStop();
  }
  void setLogFlushTimerEnabled(bool enabled) override {
    if (onLogOpened && enabled) onLogOpened();
    ServiceHost::setLogFlushTimerEnabled(enabled);
  }
  std::function<void()> onLogOpened;
  std::function<void(int)> onSleep;
  std::function<void()> onHonourStop;
};

std::string traceLine(const DateTime& t, int milliseconds, int line, const std::string& text) {
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d-%02d:%02d:%02d.%03d", t.year(), t.month(), t.day(), t.hour(),
                t.minute(), t.second(), milliseconds);
  return std::string(stamp) + " 00000000 Line " + std::to_string(line) + ": " + text + "\r\n";
}

struct StoppedService {
  StoppedService() {
    test::createDeliveredDatabase(folder() / "vrndata.mdb");
    fs::create_directories(folder() / "output");
    fs::create_directories(folder() / "traces");
    setParameter("DEFAULTOUTPUTPATH", (folder() / "output").string());
    setParameter("DEFAULTMVLOGPATH", (folder() / "traces").string());
    program.exitProcess = [](int code) { throw ProgramEnded{code}; };
    program.databaseBusyTimeoutMs = 200;
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
  std::string query(const std::string& sql) {
    db::Connection db;
    db.open((folder() / "vrndata.mdb").string());
    auto row = db.prepare(sql);
    return row.step() ? row.getText(0) : "<none>";
  }
  // One trace file of count "Call Received." events on line 1, an hour old.
  void traceFile(int count) {
    std::string bytes;
    const DateTime first = platform.start.addHours(-1);
    for (int i = 0; i < count; ++i) bytes += traceLine(first.addSeconds(i / 100), i % 100 * 10, 1, "Call Received.");
    const fs::path file = folder() / "traces" / "MVLOG.1";
    test::writeFile(file, bytes);
    setFileModificationTime(file, first.addMinutes(30));
  }
  // Runs the service until the stop has ended it; false if it never ended.
  bool runUntilEnded() {
    try {
      startup.formLoad();
      loop.run();
    } catch (const StopRequested&) {
      // Unwound out of the start-up; the program's main ends it.
      try {
        shutDownApplication(program, exit_status::kOrderly);
      } catch (const ProgramEnded&) {
        return true;
      }
    } catch (const ProgramEnded&) {
      return true;
    }
    return false;
  }
  // The program ended as a stop ends it: event 2 last, the database marked free.
  void expectEndedInOrder() {
    ASSERT_FALSE(events.entries.empty());
    EXPECT_EQ(events.entries.back().eventId, 2);
    EXPECT_TRUE(events.released);
    EXPECT_FALSE(program.db.isOpen());
    EXPECT_EQ(query("select value from applicationparameters where property = 'SERVICEPROCESSING'"), "False");
  }
  // Sends SIGTERM at the first look for a stop request made while the status
  // begins with status, then runs the service until it has ended in order,
  // within 2 s of the signal.
  void stopInsideWorkShowing(const std::string& status) {
    bool sent = false;
    host.onHonourStop = [&] {
      if (!sent && host.statusText().rfind(status, 0) == 0) {
        sent = true;
        terminator.send();
      }
    };
    ASSERT_TRUE(runUntilEnded());
    ASSERT_TRUE(sent) << "no look for a stop request while showing " << status;
    EXPECT_LT(Clock::now() - terminator.sentAt, 2s);
    expectEndedInOrder();
  }
  std::vector<std::string> outputFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder() / "output"))
      if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    return names;
  }

  // The test program's signal mask, given back at the end; a signal that was
  // never taken must not reach the test program unblocked.
  struct SavedMask {
    SavedMask() { pthread_sigmask(SIG_SETMASK, nullptr, &previous); }
    ~SavedMask() {
      const timespec noWait{0, 0};
      sigset_t term;
      sigemptyset(&term);
      sigaddset(&term, SIGTERM);
      while (sigtimedwait(&term, nullptr, &noWait) > 0) {
      }
      pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    sigset_t previous;
  } savedMask;
  test::TempFolder temp;
  InstantPlatform platform;  // blocks SIGTERM before the terminator's thread exists
  Terminator terminator;
  EventLoop loop{platform};
  ProbedHost host{loop, platform};
  platform::MemoryEventLog events;
  Program program{temp.path(), "TRAVIKservice", true, host, events};
  ServiceStartup startup{program, loop, host};
};

TEST(ServiceStop, ASigtermDuringAPauseEndsTheServiceAtOnceAndKeepsTheParsedFile) {
  StoppedService s;
  s.traceFile(10);
  s.host.onSleep = [&](int milliseconds) {
    if (milliseconds == 700) s.terminator.send();  // the pause after the parsed file
  };
  ASSERT_TRUE(s.runUntilEnded());
  EXPECT_LT(Clock::now() - s.terminator.sentAt, 2s);
  s.expectEndedInOrder();
  EXPECT_EQ(s.query("select count(*) from Events"), "10");
  EXPECT_EQ(s.query("select count(*) from calls"), "0");
}

// The first pause of 1000 ms comes while the run has the database closed.
TEST(ServiceStop, ASigtermWhileTheRunHasTheDatabaseClosedStillClearsItsMark) {
  StoppedService s;
  s.traceFile(10);
  s.host.onSleep = [&](int milliseconds) {
    if (milliseconds == 1000) s.terminator.send();
  };
  ASSERT_TRUE(s.runUntilEnded());
  s.expectEndedInOrder();
}

TEST(ServiceStop, ASigtermWhileAFileIsReadAbandonsTheFileWithoutStoringPartOfIt) {
  StoppedService s;
  s.traceFile(10000);
  s.stopInsideWorkShowing("Parsing ");
  // The next run reads the whole file again: nothing of it may be stored now.
  EXPECT_EQ(s.query("select count(*) from Events"), "0");
}

TEST(ServiceStop, ASigtermDuringTheWalkOfALineLeavesThatLineForTheNextRun) {
  StoppedService s;
  s.traceFile(10000);
  s.stopInsideWorkShowing("Processing calls for line");
  EXPECT_EQ(s.query("select count(*) from Events"), "10000");
  EXPECT_EQ(s.query("select count(*) from calls"), "0");
}

TEST(ServiceStop, ASigtermWhileAReportIsWrittenLeavesNoFileUnderAReportName) {
  StoppedService s;
  s.traceFile(10);
  {
    // Calls of earlier runs, ended and within the retention period: rows enough for a long report.
    db::Connection db;
    db.open((s.folder() / "vrndata.mdb").string());
    db::Transaction transaction(db);
    auto insert = db.prepare(
        "insert into calls (callid, timestampbegin, timestampend, line, inbound, exitcode) "
        "values (?1, '2026-03-02 06:00:00', '2026-03-02 06:00:30', 2, 1, 'OK')");
    for (int i = 0; i < 3 * 4096; ++i) insert.bind(1, "03022026.060000." + std::to_string(100000 + i)).run();
    transaction.commit();
  }
  s.stopInsideWorkShowing("Generating reports...");
  EXPECT_NE(s.query("select count(*) from calls"), "0");
  // Neither a cut AllCalls report nor its temporary file.
  EXPECT_TRUE(s.outputFiles().empty()) << s.outputFiles().front();
}

TEST(ServiceStop, ASigtermWhileTheGatewayIsLockedEndsTheServiceWithinTheQueryTimeout) {
  StoppedService s;
  test::GatewayDsn gateway(s.folder() / "gateway");
  gateway.db().exec(
      "insert into systemparameters (propname, propvalue) values ('DB_VERSION_MAJOR', '2'), "
      "('DB_VERSION_MINOR', '4'), ('CALL_TRACING_LEVEL', '2')");
  gateway.lock();
  s.program.gatewayDataSource = gateway.name();
  s.program.gatewayQueryTimeoutSeconds = 1;
  // The signal comes as the start-up opens its log, right before its
  // trace-level check calls the gateway, and is pending all through the call.
  s.host.onLogOpened = [&] { s.terminator.send(); };
  ASSERT_TRUE(s.runUntilEnded());
  EXPECT_LT(Clock::now() - s.terminator.sentAt, 1s + 1s);
  s.expectEndedInOrder();
  gateway.unlock();
  EXPECT_EQ(s.query("select count(*) from Events"), "0");
}

}  // namespace
}  // namespace travik
