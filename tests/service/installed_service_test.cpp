// An install onto the machine, not staged: cmake --install
// at a prefix of its own, the installed service run there over generated
// traffic until its reports are written, then a second install over it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/db.h"
#include "platform/process_runner.h"
#include "processing/runtime/database_schema.h"
#include "tests/support/child_process.h"
#include "tests/support/gateway_dsn.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kReportKinds[] = {"AllCalls", "LineSummary", "OctelSummary", "RejectedRecipients"};

class InstalledService : public ::testing::Test {
 protected:
  fs::path folder() const { return temp.path() / "travik"; }
  fs::path output() const { return temp.path() / "output"; }
  fs::path traces() const { return temp.path() / "traces"; }

  int install() {
    test::ChildProcess cmake;
    cmake.arguments = {TRAVIK_CMAKE_COMMAND, "--install", TRAVIK_BINARY_DIR, "--prefix", folder().string()};
    cmake.standardOutput = cmake.standardError = temp.path() / "install.txt";
    return test::runToEnd(cmake, 120s).exitCode;
  }
  std::string query(const std::string& sql) {
    db::Connection db;
    db.open((folder() / "vrndata.mdb").string(), 5000);
    auto row = db.prepare(sql);
    return row.step() ? row.getText(0) : "<none>";
  }
  void setParameter(const std::string& property, const std::string& value) {
    db::Connection db;
    db.open((folder() / "vrndata.mdb").string());
    db.prepare("update applicationparameters set value = ?1 where property = ?2")
        .bind(1, value)
        .bind(2, property)
        .run();
  }
  bool reportsWritten() const {
    int kinds = 0;
    std::error_code ec;
    for (const char* kind : kReportKinds)
      for (const auto& entry : fs::directory_iterator(output(), ec))
        if (entry.path().filename().string().rfind(std::string("TRAVIK-REPORT.") + kind + ".", 0) == 0) {
          ++kinds;
          break;
        }
    return kinds == 4;
  }

  test::TempFolder temp;
};

TEST_F(InstalledService, RunsACycleFromTheInstalledFolderAndASecondInstallKeepsTheData) {
  const fs::path generator = fs::path(TRAVIK_BINARY_DIR) / "tools" / "generate_traffic";
  if (!fs::exists(fs::path(TRAVIK_BINARY_DIR) / "bin" / "TRAVIKservice") || !fs::exists(generator))
    GTEST_SKIP() << "the service and the traffic generator are not built";
  ::umask(022);  // the usual one, which the database and its -wal and -shm must not follow
  ASSERT_EQ(install(), 0) << test::readFile(temp.path() / "install.txt");
  ASSERT_TRUE(fs::is_regular_file(folder() / "TRAVIKservice"));
  ASSERT_TRUE(fs::is_regular_file(folder() / "vrndata.mdb"));
  EXPECT_EQ(query("PRAGMA user_version"), std::to_string(schema::latestVersion()));

  // The operator's settings, made without the console.
  fs::create_directories(output());
  fs::create_directories(traces());
  setParameter("DEFAULTMVLOGPATH", traces().string());
  setParameter("DEFAULTOUTPUTPATH", output().string());
  test::ChildProcess generate;
  generate.arguments = {generator.string(), "--out", traces().string(),  "--lines", "2", "--hours", "2", "--end", "now",
                        "--seed",           "5",     "--calls-per-hour", "10"};
  generate.standardOutput = generate.standardError = temp.path() / "generator.txt";
  ASSERT_EQ(test::runToEnd(generate, 120s).exitCode, 0) << test::readFile(temp.path() / "generator.txt");

  // The gateway's data source, by its real name.
  test::GatewayDsn gateway(temp.path() / "gateway");
  gateway.db().exec(
      "insert into systemparameters (propname, propvalue) values ('DB_VERSION_MAJOR', '2'), "
      "('DB_VERSION_MINOR', '4'), ('CALL_TRACING_LEVEL', '4')");
  const fs::path odbc = temp.path() / "odbc";
  fs::create_directories(odbc);
  test::writeFile(odbc / "odbc.ini", "[mervale]\nDriver=SQLite3\nDatabase=" + gateway.file().string() + "\n");

  test::ChildProcess service;
  service.arguments = {(folder() / "TRAVIKservice").string()};
  service.environment = {{"ODBCINI", (odbc / "odbc.ini").string()}, {"JOURNAL_STREAM", std::nullopt}};
  service.standardOutput = service.standardError = temp.path() / "service.txt";
  const pid_t pid = service.start();
  ASSERT_GT(pid, 0);
  // The first cycle falls due at the first tick, 15 s after the start.
  const auto started = Clock::now();
  // Before it, the account nobody cannot even open the database or its files to lock them.
  while (!fs::exists(folder() / "vrndata.mdb-shm") && Clock::now() - started < 10s) std::this_thread::sleep_for(50ms);
  if (::geteuid() != 0) std::printf("[ SKIPPED  ] nobody's attempts: switching accounts needs root\n");
  for (const char* file : {"vrndata.mdb", "vrndata.mdb-wal", "vrndata.mdb-shm", "share/vrndata.mdb.template"}) {
    EXPECT_EQ(fs::status(folder() / file).permissions(), static_cast<fs::perms>(0660)) << file;
    if (::geteuid() != 0) continue;
    test::ChildProcess nobody;
    nobody.arguments = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                        "--clear-groups",   "/bin/cat",      (folder() / file).string()};
    nobody.standardOutput = nobody.standardError = temp.path() / "nobody.txt";
    EXPECT_EQ(test::runToEnd(nobody, 10s).exitCode, 1) << test::readFile(temp.path() / "nobody.txt");
  }
  bool done = false;
  while (Clock::now() - started < 180s) {
    if (reportsWritten() &&
        query("select value from applicationparameters where property = 'SERVICEPROCESSING'") == "False") {
      done = true;
      break;
    }
    std::this_thread::sleep_for(200ms);
  }
  ::kill(pid, SIGTERM);
  const test::ChildEnd end = test::waitForEnd(pid, 60s);
  const std::string console = test::readFile(temp.path() / "service.txt");
  ASSERT_TRUE(done) << "no reports within three minutes\n" << console;
  EXPECT_TRUE(end.ended && end.exitCode == 0) << console;
  EXPECT_EQ(console.find("[event 4]"), std::string::npos) << console;
  const std::string calls = query("select count(*) from calls");
  EXPECT_NE(calls, "0");
  EXPECT_EQ(query("select count(*) from linewalk") == "0", false);

  // A second install, as an upgrade makes it: the database and its rows stay.
  ASSERT_EQ(install(), 0) << test::readFile(temp.path() / "install.txt");
  EXPECT_NE(test::readFile(temp.path() / "install.txt").find("Keeping the database"), std::string::npos);
  EXPECT_EQ(query("select count(*) from calls"), calls);
  EXPECT_EQ(query("select value from applicationparameters where property = 'DEFAULTOUTPUTPATH'"), output().string());
}

}  // namespace
}  // namespace travik
