// The real program TRAVIKadmin ended by a signal, as a logout or a dropped X
// session ends it: it ends as through its exit menu, and its marks do not
// outlive it, also while it waits for the database or only reads it.
#include <gtest/gtest.h>

#include "processing/runtime/exit_status.h"
#include "tests/service/service_folder.h"
#include "tests/support/full_disk.h"

namespace travik {
namespace {

using namespace test;
namespace fs = std::filesystem;

// Answers the console's questions about services: the gateway's service
// runs, so the console starts without asking.
constexpr const char* kStandInSystemctl = R"sh(#!/bin/sh
[ "$1" = show ] || exit 1
echo LoadState=loaded
echo ActiveState=active
)sh";

// The console in the program folder, offscreen, with the stand-in on the
// PATH while this object lives.
struct ConsoleSetup {
  explicit ConsoleSetup(ServiceFolder& folder) : program(folder.program() / "TRAVIKadmin") {
    fs::copy_file(fs::path(TRAVIK_BINARY_DIR) / "bin" / "TRAVIKadmin", program);  // built first
    // The gateway traces verbosely already: no box about raising it waits at the start.
    folder.gateway.db().exec("update systemparameters set propvalue = '4' where propname = 'CALL_TRACING_LEVEL'");
    const fs::path bin = folder.temp.path() / "bin";
    fs::create_directories(bin);
    writeFile(bin / "systemctl", kStandInSystemctl);
    fs::permissions(bin / "systemctl", fs::perms::owner_all, fs::perm_options::add);
    ::setenv("PATH", (bin.string() + ":" + path).c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  ~ConsoleSetup() { ::setenv("PATH", path.c_str(), 1); }
  // Its output, standard error too, to a file.
  pid_t start(const fs::path& output) const { return spawn({program.string()}, output); }

  fs::path program;
  std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
};

template <class Condition>
bool waitFor(Condition condition) {
  const auto started = Clock::now();
  while (!condition() && Clock::now() - started < 60s) std::this_thread::sleep_for(100ms);
  return condition();
}

// Last row: another process holds the database while the console marks
// itself running.  The wait gives way to the signal, and what the end cannot
// write goes to standard error, not into a box that nobody answers.
TEST(ConsoleProgram, SigtermSighupAndSigintEndTheConsoleAsItsExitMenuDoesWithinTwoSeconds) {
  for (const auto& [signal, held] : {std::pair{SIGTERM, false}, {SIGHUP, false}, {SIGINT, false}, {SIGTERM, true}}) {
    SCOPED_TRACE(std::string(strsignal(signal)) + (held ? ", database held" : ""));
    ServiceFolder folder;
    db::Connection holder;
    holder.open((folder.program() / "vrndata.mdb").string());
    if (held) holder.exec("BEGIN EXCLUSIVE");
    const fs::path output = folder.temp.path() / "console.txt";
    Reaper console{ConsoleSetup(folder).start(output)};
    ASSERT_GT(console.pid, 0);

    const fs::path flag =
        folder.program() / "registry" / "HKEY_LOCAL_MACHINE" / "Software" / "TravikAdmin" / "TravikAdminIsRunning";
    std::error_code noLog;  // held: the log is begun just before the mark waits
    ASSERT_TRUE(waitFor([&] {
      return held ? !fs::is_empty(folder.output() / "logs", noLog) && !noLog
                  : folder.parameter("ADMINRUNNING") == "True" && fs::exists(flag);
    })) << readFile(output);
    std::this_thread::sleep_for(held ? 1s : 300ms);

    ::kill(console.pid, signal);
    const auto status = waitForExit(console.pid, 2s);
    ASSERT_TRUE(status) << "still running: " << readFile(output);
    console.pid = -1;
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == exit_status::kOrderly)
        << "status " << *status << readFile(output);
    EXPECT_EQ(readFile(output).find("(error):-2147217887 (database is locked) in procedure setApplicationParameter") !=
                  std::string::npos,
              held)
        << readFile(output);
    if (held) holder.exec("ROLLBACK");
    EXPECT_EQ(folder.parameter("ADMINRUNNING"), "False");
    // The registry value is a small text file: its type, then its data.
    EXPECT_NE(readFile(flag).find("\n0"), std::string::npos) << readFile(flag);
  }
}

// A program folder mounted read-only, with the console's lock beside the
// database or elsewhere: the console only reads, says why once (also on
// standard error), writes nothing, and ends on a signal within two seconds.
// Last row: no other program holds the database, so its -wal and -shm are
// missing and cannot be made: the console says it cannot read it, and why.
TEST(ConsoleProgram, OnAProgramFolderItMayOnlyReadTheConsoleOnlyReadsAndEndsOnASignal) {
  for (const auto& [lockInProgramFolder, held] : {std::pair{false, true}, {true, true}, {false, false}}) {
    SCOPED_TRACE(std::string(lockInProgramFolder ? "lock in the program folder" : "lock elsewhere") +
                 (held ? "" : ", database not held"));
    ServiceFolder folder;
    const fs::path locks = folder.program() / "locks";
    fs::create_directories(locks);
    db::Connection reader;
    if (held) reader.open((folder.program() / "vrndata.mdb").string());
    if (held) reader.prepare("select count(*) from applicationparameters").step();
    const std::string announced = held ? "only reads" : "cannot be read now";
    const fs::path output = folder.temp.path() / "console.txt";
    const ConsoleSetup setup(folder);
    const FullDiskRun run = onReadOnlyFolder(folder.program(), [&]() -> std::string {
      if (lockInProgramFolder) ::setenv("TRAVIK_LOCK_DIR", locks.c_str(), 1);  // in this child only
      Reaper console{setup.start(output)};
      if (console.pid <= 0) return "not started";
      if (!waitFor([&] { return readFile(output).find(announced) != std::string::npos; })) return "no message";
      ::kill(console.pid, SIGTERM);
      const auto status = waitForExit(console.pid, 2s);
      if (!status) return "still running after SIGTERM";
      console.pid = -1;
      return "exit " + std::to_string(WIFEXITED(*status) ? WEXITSTATUS(*status) : -1);
    });
    if (run.cannot) GTEST_SKIP() << "no read-only folder can be made here: " << *run.cannot;
    const std::string said = readFile(output);
    EXPECT_EQ(run.output, "exit 0") << said;
    const std::string why = !held                 ? "vrndata.mdb-wal is missing and cannot be created"
                            : lockInProgramFolder ? "cannot take its lock"
                                                  : "cannot be written";
    EXPECT_NE(said.find(why), std::string::npos) << said;
    EXPECT_NE(said.find("Read-only file system"), std::string::npos) << said;
    EXPECT_EQ(said.find("readonly database"), std::string::npos) << said;
    EXPECT_EQ(folder.parameter("ADMINRUNNING"), "False");
    EXPECT_FALSE(fs::exists(folder.program() / "registry"));
    EXPECT_TRUE(fs::is_empty(locks));
  }
}

}  // namespace
}  // namespace travik
