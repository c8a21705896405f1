// The real program TRAVIKservice on a temporary program folder: started,
// left to run its first cycles, stopped with SIGTERM as systemd stops it.
// The one service test that waits for real time, always with a bound.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/db.h"
#include "platform/instance_lock.h"
#include "processing/runtime/exit_status.h"
#include "tests/service/service_folder.h"
#include "tests/support/full_disk.h"
#include "tests/support/gateway_dsn.h"
#include "tests/support/lock_holder.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

using namespace test;
namespace fs = std::filesystem;

TEST(ServiceProgram, RunsItsFirstCyclesOnGeneratedTrafficAndEndsInOrderOnSigterm) {
  ServiceFolder folder;
  ASSERT_TRUE(fs::exists(folder.program() / "TRAVIKservice")) << "build TRAVIKservice first";
  const fs::path generator = fs::path(TRAVIK_BINARY_DIR) / "tools" / "generate_traffic";
  if (fs::exists(generator)) {
    // With the cases a live folder brings: calls back to back in one second,
    // events of both lines in one millisecond, files rolled over anywhere.
    const pid_t generating = spawn({generator.string(), "--out", folder.traces().string(), "--lines", "2", "--hours",
                                    "2", "--end", "now", "--seed", "7", "--calls-per-hour", "10", "--back-to-back",
                                    "--shared-milliseconds", "--roll-over-anywhere", "--max-file-bytes", "20000"},
                                   folder.temp.path() / "generator.txt");
    ASSERT_GT(generating, 0);
    const auto status = waitForExit(generating, 120s);
    ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0)
        << test::readFile(folder.temp.path() / "generator.txt");
  } else {
    writeHandMadeTraces(folder.traces());
  }

  // The locks in their own place, the program folder: the account nobody may
  // neither create nor take any of them, before the service starts (as after
  // a reboot) nor while it runs its cycle.
  struct LocksInTheProgramFolder {
    std::string saved = std::getenv("TRAVIK_LOCK_DIR");
    LocksInTheProgramFolder() { ::unsetenv("TRAVIK_LOCK_DIR"); }
    ~LocksInTheProgramFolder() { ::setenv("TRAVIK_LOCK_DIR", saved.c_str(), 1); }
  } locksInTheProgramFolder;
  const auto nobodyTakesNone = [&] {
    if (::geteuid() != 0) return (void)std::printf("[ SKIPPED  ] nobody's attempts: switching accounts needs root\n");
    for (const char* kind : {"admin", "service", "processing"})
      EXPECT_EQ(LockHolder(folder.program() / ("travik-" + std::string(kind) + ".lock"), 65534).result(),
                platform::LockResult::NotPermitted)
          << kind;
  };
  nobodyTakesNone();
  // Its FIFOs at the names, as a folder once open to it allowed: replaced, named, no hindrance.
  const auto fifo = [&](const char* kind) { return folder.program() / ("travik-" + std::string(kind) + ".lock"); };
  for (const char* kind : {"service", "processing"})
    ASSERT_TRUE(::geteuid() != 0 || (::mkfifo(fifo(kind).c_str(), 0666) | ::chown(fifo(kind).c_str(), 65534, 0)) == 0);

  const fs::path console = folder.temp.path() / "console.txt";
  const pid_t service = spawn({(folder.program() / "TRAVIKservice").string()}, console);
  ASSERT_GT(service, 0);
  struct Reaper {
    pid_t pid;
    bool done = false;
    ~Reaper() {
      if (!done) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
      }
    }
  } reaper{service};

  // The log is opened at start-up; both cycles fall due at the first ticks, 15 s later.
  const auto started = Clock::now();
  while (!folder.activityLog() && Clock::now() - started < 60s) std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(folder.activityLog()) << test::readFile(console);
  const auto logOpened = Clock::now();

  // A processing run marks the database while it works; once one has been
  // seen, wait for its reports and its end, else stop after the first ticks.
  bool runSeen = false;
  for (;;) {
    int status = 0;
    ASSERT_NE(waitpid(service, &status, WNOHANG), service) << "ended early:\n" << test::readFile(console);
    const bool processing = folder.parameter("SERVICEPROCESSING") == "True";
    runSeen = runSeen || processing;
    if (runSeen && !processing && folder.reportsWritten()) break;
    if (!runSeen && Clock::now() - logOpened > 25s) break;
    ASSERT_LT(Clock::now() - logOpened, 180s) << "no reports after three minutes";
    std::this_thread::sleep_for(200ms);
  }
  nobodyTakesNone();

  ASSERT_EQ(kill(service, SIGTERM), 0);
  const auto status = waitForExit(service, 60s);
  ASSERT_TRUE(status) << "still running a minute after SIGTERM";
  reaper.done = true;
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "status " << *status;

  const std::string events = test::readFile(console);
  EXPECT_NE(events.find("TRAVIK Service: [event 1]"), std::string::npos) << events;
  EXPECT_NE(events.find("TRAVIK Service: [event 2]"), std::string::npos) << events;
  for (const char* kind : {"service", "processing"})
    EXPECT_EQ(events.find("Replaced the FIFO " + fifo(kind).string()) != std::string::npos, ::geteuid() == 0) << events;
  std::istringstream lines(events);
  for (std::string line; std::getline(lines, line);)
    EXPECT_TRUE(line.find("[event 4]") == std::string::npos || line.find("Replaced the FIFO") != std::string::npos)
        << line;
  EXPECT_EQ(folder.parameter("SERVICEPROCESSING"), "False");
  const std::string log = test::readFile(*folder.activityLog());
  EXPECT_NE(log.find("TRAVIK Service activity"), std::string::npos) << log;
  EXPECT_NE(log.find(kProcessingLine), std::string::npos) << log;
  EXPECT_NE(log.find(kTestCallLine), std::string::npos) << log;
  if (runSeen) {
    EXPECT_TRUE(folder.reportsWritten());
    EXPECT_NE(log.find("Processing complete."), std::string::npos) << log;
    // The run went to its end: its totals are those of its calls, and nothing is left due.
    db::Connection db;
    db.open((folder.program() / "vrndata.mdb").string(), 5000);
    const auto rows = [&](const std::string& sql) {
      std::vector<std::string> all;
      auto query = db.prepare(sql);
      while (query.step()) all.push_back(query.getText(0) + "|" + query.getText(1) + "|" + query.getText(2));
      return all;
    };
    EXPECT_FALSE(rows("select line, count(*), 0 from calls group by line").empty());
    EXPECT_EQ(rows("select line, calls, errors from linesummary order by line"),
              rows("select line, count(*), count(case when exitcode like 'E%' then 1 end) from calls group by line "
                   "order by line"));
    EXPECT_TRUE(rows("select stage, 0, 0 from summarydue").empty());
  }
  if (log.find("Test calls scheduled successfully.") != std::string::npos) {
    auto pending = folder.gateway.db().prepare("select count(*) from directory where mailboxno = '9999'");
    ASSERT_TRUE(pending.step());
    EXPECT_EQ(pending.getInt(0), 2);
  }
  if (events.find("[event 22]") != std::string::npos) {
    auto level = folder.gateway.db().prepare("select propvalue from systemparameters where propname = ?1");
    level.bind(1, "CALL_TRACING_LEVEL");
    ASSERT_TRUE(level.step());
    EXPECT_EQ(level.getText(0), "4");
  }
}

TEST(ServiceProgram, ASecondServiceOnTheSameFolderDoesNotStartAndAKilledOneBlocksNothing) {
  ServiceFolder folder;
  const fs::path program = folder.program() / "TRAVIKservice";
  ASSERT_TRUE(fs::exists(program)) << "build TRAVIKservice first";
  const fs::path lockFile = platform::serviceLockFile(folder.program());
  struct Reaper {
    pid_t pid = -1;
    ~Reaper() {
      if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
      }
    }
  };
  const auto holdsItsLockSoon = [&] {
    const auto started = Clock::now();
    while (!platform::InstanceLock::isHeld(lockFile) && Clock::now() - started < 30s) std::this_thread::sleep_for(50ms);
    return platform::InstanceLock::isHeld(lockFile);
  };

  // A folder in the way: the first one waits, and goes on by itself once it is gone.
  fs::create_directories(lockFile);
  Reaper first{spawn({program.string()}, folder.temp.path() / "first.txt")};
  ASSERT_GT(first.pid, 0);
  const auto said = [&](const std::string& text) {
    return readFile(folder.temp.path() / "first.txt").find(text) != std::string::npos;
  };
  for (const auto started = Clock::now(); !said("the service waits") && Clock::now() - started < 30s;)
    std::this_thread::sleep_for(50ms);
  fs::remove(lockFile);
  ASSERT_TRUE(holdsItsLockSoon()) << test::readFile(folder.temp.path() / "first.txt");
  EXPECT_TRUE(said("; the service waits, trying again every 15 seconds, until it is gone.") &&
              said("can be used again; the service goes on."));

  const fs::path secondOutput = folder.temp.path() / "second.txt";
  const pid_t second = spawn({program.string()}, secondOutput);
  ASSERT_GT(second, 0);
  const auto status = waitForExit(second, 30s);
  ASSERT_TRUE(status) << "the second service did not end";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == exit_status::kAlreadyRunning) << "status " << *status;
  const std::string refusal = test::readFile(secondOutput);
  EXPECT_NE(refusal.find("TRAVIKservice: a TRAVIK service is already running on " + folder.program().string() +
                         "; this one does not start."),
            std::string::npos)
      << refusal;
  EXPECT_EQ(refusal.find("[event 1]"), std::string::npos) << refusal;  // it never started

  // The first one killed as a crash ends it: the next one starts.
  kill(first.pid, SIGKILL);
  waitpid(first.pid, nullptr, 0);
  first.pid = -1;
  Reaper third{spawn({program.string()}, folder.temp.path() / "third.txt")};
  ASSERT_GT(third.pid, 0);
  ASSERT_TRUE(holdsItsLockSoon()) << test::readFile(folder.temp.path() / "third.txt");
  ASSERT_EQ(kill(third.pid, SIGTERM), 0);
  const auto thirdStatus = waitForExit(third.pid, 60s);
  ASSERT_TRUE(thirdStatus);
  third.pid = -1;
  EXPECT_TRUE(WIFEXITED(*thirdStatus) && WEXITSTATUS(*thirdStatus) == 0) << "status " << *thirdStatus;
}

// The output folder on a full disk: every activity-log line fails and is a
// handled error, the limit's own line too.  The service must neither recurse
// nor crash (this runs under AddressSanitizer in CI) but end in order.
TEST(ServiceProgram, OnAFullOutputDiskTheErrorLimitEndsTheServiceInOrder) {
  ServiceFolder folder;
  ASSERT_TRUE(fs::exists(folder.program() / "TRAVIKservice")) << "build TRAVIKservice first";
  // No trace folder: the processing cycle is skipped at once.  The test
  // calls then log one long line per node, which overflows the log's buffer.
  folder.setParameter("DEFAULTMVLOGPATH", (folder.temp.path() / "no-traces").string());
  auto node = folder.gateway.db().prepare("insert into octelnode (serialno) values (?1)");
  for (int i = 0; i < 60; ++i) node.bind(1, std::to_string(i) + std::string(10000, 'n')).run();
  fs::create_directories(folder.output() / "logs");
  const fs::path console = folder.temp.path() / "console.txt";

  const test::FullDiskRun run = test::onFullDisk(folder.output(), [&]() -> std::string {
    fs::create_directories(folder.output() / "logs");
    const pid_t service = spawn({(folder.program() / "TRAVIKservice").string()}, console);
    if (service <= 0) return "not started";
    const auto status = waitForExit(service, 120s);
    if (!status) {
      kill(service, SIGKILL);
      waitpid(service, nullptr, 0);
      return "still running after two minutes";
    }
    if (WIFSIGNALED(*status)) return "killed by signal " + std::to_string(WTERMSIG(*status));
    return "exit " + std::to_string(WEXITSTATUS(*status));
  });
  if (run.cannot) GTEST_SKIP() << "no full disk can be made here: " << *run.cannot;
  const std::string events = test::readFile(console);
  // Not an orderly stop: the unit's restart policy starts it again.
  ASSERT_EQ(run.output, "exit " + std::to_string(exit_status::kHandledErrorLimit)) << events;
  const auto limit = events.find("TRAVIK Service: [event 18]");
  ASSERT_NE(limit, std::string::npos) << events;
  EXPECT_NE(events.find("TRAVIK Service: [event 2]", limit), std::string::npos) << events;
  EXPECT_EQ(events.find("AddressSanitizer"), std::string::npos) << events;
  EXPECT_EQ(folder.parameter("SERVICEPROCESSING"), "False");
}

}  // namespace
}  // namespace travik
