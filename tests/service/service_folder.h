// The real program TRAVIKservice on a temporary program folder: spawning it,
// waiting for it with a bound, and the folder it runs on.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/db.h"
#include "tests/support/gateway_dsn.h"
#include "tests/support/test_program.h"

extern char** environ;

namespace travik::test {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kProcessingLine =
    "Wait between automatic call data processing intervals has elapsed.  Automatic processing initiated.";
constexpr const char* kTestCallLine =
    "Wait between automatic test call generation has elapsed.  Next series of test calls has been initiated.";
constexpr const char* kReportKinds[] = {"AllCalls", "LineSummary", "OctelSummary", "RejectedRecipients"};

// Spawns a program with the test's environment (minus the journal's marker,
// so the service writes its events to standard error); output to a file.
inline pid_t spawn(const std::vector<std::string>& arguments, const fs::path& output) {
  std::vector<char*> argv;
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (char** entry = environ; *entry; ++entry)
    if (std::string_view(*entry).rfind("JOURNAL_STREAM=", 0) != 0) envp.push_back(*entry);
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// The exit status once the process has ended within the bound.
inline std::optional<int> waitForExit(pid_t pid, Clock::duration bound) {
  const auto deadline = Clock::now() + bound;
  for (;;) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return status;
    if (Clock::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(100ms);
  }
}

inline std::string twoDigits(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

// A few trace lines of the last minutes, for when the traffic generator is not built.
inline void writeHandMadeTraces(const fs::path& folder, const char* name = "MVLOG.001", int secondsAgo = 600) {
  const DateTime start = DateTime::fromTimeT(std::time(nullptr)).addSeconds(-secondsAgo);
  std::string lines;
  const char* texts[] = {"Call Received.", "Call Status = 0", "Call Out Process Initiated for Node 1001"};
  for (int i = 0; i < 3; ++i) {
    const DateTime at = start.addSeconds(i * 30);
    lines += std::to_string(at.year()) + "/" + twoDigits(at.month()) + "/" + twoDigits(at.day()) + "-" +
             twoDigits(at.hour()) + ":" + twoDigits(at.minute()) + ":" + twoDigits(at.second()) +
             ".120 00000000 Line " + std::to_string(i + 1) + ": " + texts[i] + "\r\n";
  }
  writeFile(folder / name, lines);
}

struct ServiceFolder {
  ServiceFolder() : gateway(temp.path() / "gateway") {
    fs::create_directories(program());
    fs::create_directories(output());
    fs::create_directories(traces());
    const fs::path built = fs::path(TRAVIK_BINARY_DIR) / "bin" / "TRAVIKservice";
    if (fs::exists(built)) fs::copy_file(built, program() / "TRAVIKservice");
    createDeliveredDatabase(program() / "vrndata.mdb");
    setParameter("DEFAULTOUTPUTPATH", output().string());
    setParameter("DEFAULTMVLOGPATH", traces().string());
    setParameter("AUTOTEST", "True");
    gateway.db().exec(
        "insert into systemparameters (propname, propvalue) values "
        "('DB_VERSION_MAJOR', '2'), ('DB_VERSION_MINOR', '4'), ('CALL_TRACING_LEVEL', '2');"
        "insert into octelnode (serialno) values ('1001'), ('1002');");
    // The program asks for the data source by its real name, "mervale".
    const fs::path odbc = temp.path() / "odbc";
    fs::create_directories(odbc);
    writeFile(odbc / "odbc.ini", "[mervale]\nDriver=SQLite3\nDatabase=" + gateway.file().string() + "\nTimeout=2000\n");
    ::setenv("ODBCINI", (odbc / "odbc.ini").c_str(), 1);
  }
  fs::path program() const { return temp.path() / "program"; }
  fs::path output() const { return program() / "output"; }
  fs::path traces() const { return temp.path() / "traces"; }
  void setParameter(const std::string& property, const std::string& value) {
    db::Connection db;
    db.open((program() / "vrndata.mdb").string());
    db.prepare("update applicationparameters set value = ?1 where property = ?2")
        .bind(1, value)
        .bind(2, property)
        .run();
  }
  std::string parameter(const std::string& property) const {
    db::Connection db;
    db.open((program() / "vrndata.mdb").string(), 5000);
    auto row = db.prepare("select value from applicationparameters where property = ?1");
    row.bind(1, property);
    return row.step() ? row.getText(0) : "<none>";
  }
  std::optional<fs::path> activityLog() const {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(output() / "logs", ec))
      if (entry.path().filename().string().rfind("TRAVIKservice_", 0) == 0) return entry.path();
    return std::nullopt;
  }
  bool reportsWritten() const {
    int kinds = 0;
    for (const char* kind : kReportKinds) {
      std::error_code ec;
      for (const auto& entry : fs::directory_iterator(output(), ec))
        if (entry.path().filename().string().rfind(std::string("TRAVIK-REPORT.") + kind + ".", 0) == 0) {
          ++kinds;
          break;
        }
    }
    return kinds == 4;
  }

  TempFolder temp;
  GatewayDsn gateway;
};
// Kills a program still running at the end of a test.
struct Reaper {
  pid_t pid = -1;
  ~Reaper() {
    if (pid > 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
};

}  // namespace travik::test
