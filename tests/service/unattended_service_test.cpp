// The real program TRAVIKservice left alone with what goes wrong on a server
// nobody watches: a database that is no database of ours, damaged or
// read-only, a database another process holds, a console mark nobody holds,
// a closed terminal.  Each case ends, or carries on, with a word where an
// operator looks (exit status, event log, standard error) and never in
// silence.  These wait for real time, always with a bound.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <fstream>
#include <random>

#include "processing/run/process_logs.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/exit_status.h"
#include "tests/service/service_folder.h"
#include "tests/support/full_disk.h"

namespace travik {
namespace {

using namespace test;
namespace fs = std::filesystem;

// A service that runs to its end within the bound; its status and output.
struct Ended {
  std::optional<int> status;
  std::string output;
  bool exitedWith(int code) const { return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code; }
};

Ended runUntilItEnds(ServiceFolder& folder, Clock::duration bound) {
  const fs::path output = folder.temp.path() / "service.txt";
  Reaper service{spawn({(folder.program() / "TRAVIKservice").string()}, output)};
  Ended ended;
  ended.status = waitForExit(service.pid, bound);
  if (ended.status) service.pid = -1;
  ended.output = readFile(output);
  return ended;
}

// Starts the service and waits, with a bound, until its start has opened its
// log (whose lines reach the disk only once a minute, or at the end).
pid_t startUntilItsLogIsOpen(ServiceFolder& folder, const fs::path& console) {
  const pid_t pid = spawn({(folder.program() / "TRAVIKservice").string()}, console);
  const auto started = Clock::now();
  while (pid > 0 && !folder.activityLog() && Clock::now() - started < 30s) std::this_thread::sleep_for(50ms);
  return pid;
}

void dropTable(ServiceFolder& folder, const std::string& table) {
  db::Connection db;
  db.open((folder.program() / "vrndata.mdb").string());
  db.exec("drop table " + table);
}

TEST(UnattendedService, ADatabaseThatIsNotOursEndsTheStartWithEvent19NamingItAndItsOwnStatus) {
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  const std::vector<std::pair<std::string, std::function<void(ServiceFolder&)>>> cases = {
      {"missing", [](ServiceFolder& f) { fs::remove(f.program() / "vrndata.mdb"); }},
      {"not a database",
       [&](ServiceFolder& f) {
         std::string garbage(8192, '\0');
         for (char& c : garbage) c = static_cast<char>(random() & 0xff);
         writeFile(f.program() / "vrndata.mdb", garbage);
       }},
      {"empty", [](ServiceFolder& f) { writeFile(f.program() / "vrndata.mdb", ""); }},
      {"without its parameters", [](ServiceFolder& f) { dropTable(f, "applicationparameters"); }},
  };
  for (const auto& [name, spoil] : cases) {
    SCOPED_TRACE(name + " (seed " + std::to_string(seed) + ")");
    ServiceFolder folder;
    ASSERT_TRUE(fs::exists(folder.program() / "TRAVIKservice")) << "build TRAVIKservice first";
    spoil(folder);
    const Ended ended = runUntilItEnds(folder, 30s);
    ASSERT_TRUE(ended.status) << "still running: " << ended.output;
    EXPECT_TRUE(ended.exitedWith(exit_status::kDatabaseUnusable)) << "status " << *ended.status << ended.output;
    const std::string database = (folder.program() / "vrndata.mdb").string();
    const auto entry = ended.output.find("TRAVIK Service: [event 19]");
    ASSERT_NE(entry, std::string::npos) << ended.output;
    EXPECT_NE(ended.output.find(database, entry), std::string::npos) << "event 19 names the file" << ended.output;
    EXPECT_NE(ended.output.find("TRAVIKservice: cannot use the database " + database + ": "), std::string::npos)
        << ended.output;
    EXPECT_EQ(ended.output.find("[event 17]"), std::string::npos) << "no missing output folder" << ended.output;
    EXPECT_NE(ended.output.find("TRAVIK Service: [event 2]"), std::string::npos) << ended.output;
  }
}

// Pages overwritten: the start reads its parameters, the run meets the damage.
TEST(UnattendedService, ADamagedDatabaseEndsTheRunWithEvent4AndStatus7) {
  ServiceFolder folder;
  ASSERT_TRUE(fs::exists(folder.program() / "TRAVIKservice")) << "build TRAVIKservice first";
  writeHandMadeTraces(folder.traces());
  std::int64_t page = 0, pageSize = 0;
  {
    db::Connection db;
    db.open((folder.program() / "vrndata.mdb").string());
    auto root = db.prepare("select rootpage from sqlite_master where name = 'calls'");
    ASSERT_TRUE(root.step());
    page = root.getInt(0);
    auto size = db.prepare("pragma page_size");
    ASSERT_TRUE(size.step());
    pageSize = size.getInt(0);
  }
  {
    std::fstream file(folder.program() / "vrndata.mdb", std::ios::in | std::ios::out | std::ios::binary);
    file.seekp((page - 1) * pageSize);
    file << std::string(static_cast<std::size_t>(pageSize), '\xA5');
  }
  const Ended ended = runUntilItEnds(folder, 90s);
  ASSERT_TRUE(ended.status) << "still running after the run met the damage: " << ended.output;
  EXPECT_TRUE(ended.exitedWith(exit_status::kDatabaseDamaged)) << "status " << *ended.status << ended.output;
  const auto entry = ended.output.find("TRAVIK Service: [event 4]");
  ASSERT_NE(entry, std::string::npos) << ended.output;
  EXPECT_NE(ended.output.find("malformed", entry), std::string::npos) << ended.output;
  EXPECT_NE(ended.output.find((folder.program() / "vrndata.mdb").string(), entry), std::string::npos) << ended.output;
  const auto log = folder.activityLog();
  ASSERT_TRUE(log);
  EXPECT_EQ(readFile(*log).find("Processing complete."), std::string::npos);
  EXPECT_FALSE(folder.reportsWritten());
}

// A file system remounted read-only, or a root-owned install run by another
// account: the program folder, and with it the database, cannot be written.
// A service started then waits; once it can write, it goes on without a
// restart.  Rows: the lock elsewhere; the lock in the folder after a kill,
// with two services waiting (one goes on, the other then finds it running)
// and a third stopped while it waits.
class AReadOnlyProgramFolder : public testing::TestWithParam<bool> {};

TEST_P(AReadOnlyProgramFolder, MakesAStartingServiceWaitUntilItCanWrite) {
  const bool lockInFolder = GetParam();
  ServiceFolder folder;
  ASSERT_TRUE(fs::exists(folder.program() / "TRAVIKservice")) << "build TRAVIKservice first";
  writeHandMadeTraces(folder.traces());
  const std::string testLocks = std::getenv("TRAVIK_LOCK_DIR") ? std::getenv("TRAVIK_LOCK_DIR") : "";
  if (lockInFolder) {
    ::unsetenv("TRAVIK_LOCK_DIR");
    Reaper killed{startUntilItsLogIsOpen(folder, folder.temp.path() / "killed.txt")};
  }
  const fs::path output = folder.temp.path() / "output";
  fs::create_directories(output);
  folder.setParameter("DEFAULTOUTPUTPATH", output.string());
  folder.setParameter("PROCESSINTERVALINSECONDS", "1");
  const fs::path earlier = output / "TRAVIK-REPORT.AllCalls.01012026.000000.csv";
  writeFile(earlier, "earlier\r\n");
  // A reader of our own keeps the database's shared-memory files, as the
  // console or a last run would have left them; without them a read-only
  // folder cannot be read at all, which the start reports as unusable.
  db::Connection reader;
  reader.open((folder.program() / "vrndata.mdb").string());
  reader.prepare("select count(*) from applicationparameters").step();

  const auto console = [&](std::size_t i) { return folder.temp.path() / ("service" + std::to_string(i) + ".txt"); };
  const FullDiskRun run = onReadOnlyFolder(folder.program(), [&]() -> std::string {
    std::vector<Reaper> services(lockInFolder ? 3 : 1);
    for (std::size_t i = 0; i < services.size(); ++i)
      services[i].pid = spawn({(folder.program() / "TRAVIKservice").string()}, console(i));
    const auto waits = [&](std::size_t i) {
      return readFile(console(i)).find("the service waits") != std::string::npos;
    };
    const auto deadline = Clock::now() + 60s;
    while (!(waits(0) && waits(services.size() - 1)) && Clock::now() < deadline) std::this_thread::sleep_for(100ms);
    if (Clock::now() >= deadline) return "no wait";
    if (lockInFolder) {
      ::kill(services[2].pid, SIGTERM);
      if (waitForExit(services[2].pid, 2s) != 0) return "a waiting service did not stop at once";
      services[2].pid = -1;
      services.pop_back();
    }
    if (readFile(earlier) != "earlier\r\n") return "the earlier report went";
    if (::mount(nullptr, folder.program().c_str(), nullptr, MS_REMOUNT | MS_BIND, nullptr) != 0) return "no remount";
    writeHandMadeTraces(folder.traces(), "MVLOG.002", 300);
    // Without a restart, the next run's report replaces the earlier one.
    while (fs::exists(earlier) && Clock::now() < deadline + 60s) std::this_thread::sleep_for(100ms);
    std::this_thread::sleep_for(2s);
    std::string ends = "exit";
    for (Reaper& service : services) {
      ::kill(service.pid, SIGTERM);
      const auto status = waitForExit(service.pid, 30s);
      if (!status) return "still running after SIGTERM";
      service.pid = -1;
      ends += " " + std::to_string(WIFEXITED(*status) ? WEXITSTATUS(*status) : -1);
    }
    return ends + "\n" + readFile(console(0)) + readFile(console(1));
  });
  if (!testLocks.empty()) ::setenv("TRAVIK_LOCK_DIR", testLocks.c_str(), 1);
  if (run.cannot) GTEST_SKIP() << "no read-only folder can be made here: " << *run.cannot;
  const std::string ends = run.output.substr(0, run.output.find('\n'));
  EXPECT_TRUE(ends == "exit 0" ? !lockInFolder : lockInFolder && (ends == "exit 0 3" || ends == "exit 3 0")) << ends;
  EXPECT_NE(run.output.find("Read-only file system; the service waits"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("can be written again; the service goes on."), std::string::npos) << run.output;
  // What the service stored is what one run over the final folder stores.
  TestProgram once;
  setApplicationParameter(*once, parameter::kDefaultMvLogPath, folder.traces().string());
  once.host.clock = DateTime::fromTimeT(std::time(nullptr));
  processLogs(*once);
  once->db.prepare("attach database ?1 as served").bind(1, (folder.program() / "vrndata.mdb").string()).run();
  for (const std::string table : {"Events", "calls", "tasks", "recipients"})
    EXPECT_EQ(once.rows("select * from " + table + " except select * from served." + table),
              once.rows("select * from served." + table + " except select * from " + table));
}

INSTANTIATE_TEST_SUITE_P(Locks, AReadOnlyProgramFolder, testing::Bool(), [](const auto& info) {
  return std::string(info.param ? "LockInTheFolderAfterAKill" : "LockElsewhere");
});

TEST(UnattendedService, SigtermEndsTheServiceWithinTwoSecondsWhileAnotherProcessHoldsTheDatabase) {
  ServiceFolder folder;
  ASSERT_TRUE(fs::exists(folder.program() / "TRAVIKservice")) << "build TRAVIKservice first";
  db::Connection holder;
  holder.open((folder.program() / "vrndata.mdb").string());
  holder.exec("BEGIN IMMEDIATE");
  const fs::path console = folder.temp.path() / "service.txt";
  // The start reads its settings and opens its log, then waits to clear its
  // processing mark behind the held lock.
  Reaper service{startUntilItsLogIsOpen(folder, console)};
  ASSERT_GT(service.pid, 0);
  ASSERT_TRUE(folder.activityLog()) << readFile(console);
  std::this_thread::sleep_for(1s);
  const auto sent = Clock::now();
  ASSERT_EQ(::kill(service.pid, SIGTERM), 0);
  const auto status = waitForExit(service.pid, 60s);
  const auto took = Clock::now() - sent;
  ASSERT_TRUE(status);
  service.pid = -1;
  EXPECT_LT(took, 2s) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == exit_status::kOrderly) << "status " << *status;
  EXPECT_NE(readFile(console).find("TRAVIK Service: [event 2]"), std::string::npos) << readFile(console);
  holder.exec("ROLLBACK");
}

// A foreground run whose terminal closes: SIGHUP.
TEST(UnattendedService, SighupEndsTheServiceInOrderWithItsLogOnDisk) {
  ServiceFolder folder;
  ASSERT_TRUE(fs::exists(folder.program() / "TRAVIKservice")) << "build TRAVIKservice first";
  const fs::path console = folder.temp.path() / "service.txt";
  Reaper service{startUntilItsLogIsOpen(folder, console)};
  ASSERT_GT(service.pid, 0);
  ASSERT_TRUE(folder.activityLog()) << readFile(console);
  std::this_thread::sleep_for(300ms);
  ASSERT_EQ(::kill(service.pid, SIGHUP), 0);
  const auto status = waitForExit(service.pid, 30s);
  ASSERT_TRUE(status);
  service.pid = -1;
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == exit_status::kOrderly) << "status " << *status;
  EXPECT_NE(readFile(console).find("TRAVIK Service: [event 2]"), std::string::npos) << readFile(console);
  EXPECT_NE(readFile(*folder.activityLog()).find("TRAVIK Service activity"), std::string::npos);
  EXPECT_EQ(folder.parameter("SERVICEPROCESSING"), "False");
}

// A console ended by SIGKILL left ADMINRUNNING "True"; no console holds its lock.
TEST(UnattendedService, AStaleConsoleMarkDoesNotStopProcessing) {
  ServiceFolder folder;
  ASSERT_TRUE(fs::exists(folder.program() / "TRAVIKservice")) << "build TRAVIKservice first";
  writeHandMadeTraces(folder.traces());
  folder.setParameter("ADMINRUNNING", "True");
  const fs::path console = folder.temp.path() / "service.txt";
  Reaper service{spawn({(folder.program() / "TRAVIKservice").string()}, console)};
  ASSERT_GT(service.pid, 0);
  // The reports come at the end of a run; the log reaches the disk at the stop.
  const auto started = Clock::now();
  while (!folder.reportsWritten() && Clock::now() - started < 90s) std::this_thread::sleep_for(200ms);
  std::this_thread::sleep_for(1s);
  ::kill(service.pid, SIGTERM);
  waitForExit(service.pid, 30s);
  service.pid = -1;
  ASSERT_TRUE(folder.activityLog()) << readFile(console);
  const std::string log = readFile(*folder.activityLog());
  EXPECT_NE(log.find("Processing complete."), std::string::npos) << log;
  EXPECT_NE(log.find("ADMINRUNNING reads \"True\" but no TRAVIK Administration application holds its lock"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("This automatic call data processing cycle will be skipped."), std::string::npos) << log;
  EXPECT_TRUE(folder.reportsWritten());
}

}  // namespace
}  // namespace travik
