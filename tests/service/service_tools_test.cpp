// The service tools INSTSRV, SRVANY and net, run as the console runs them,
// against a stand-in systemctl on PATH that records its calls.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/key_store.h"
#include "tests/support/test_program.h"

extern char** environ;

namespace travik {
namespace {

namespace fs = std::filesystem;

constexpr const char* kStandInSystemctl = R"sh(#!/usr/bin/env bash
echo "$*" >> "$SYSTEMCTL_LOG"
if [ -n "${SYSTEMCTL_FAIL:-}" ] && [ "$1" = "$SYSTEMCTL_FAIL" ]; then exit 1; fi
unit=${@: -1}
state="$SYSTEMCTL_STATE/$unit.active"
case $1 in
  show) if [ -e "$TRAVIK_UNIT_DIR/$unit" ]; then echo loaded; else echo not-found; fi ;;
  is-active) [ "$(cat "$state" 2>/dev/null)" = active ] ;;
  start) echo active > "$state" ;;
  stop) echo inactive > "$state" ;;
esac
)sh";

constexpr const char* kServiceKey = "System\\CurrentControlSet\\Services\\TRAVIKservice.exe\\Parameters";

struct Tools {
  Tools() {
    for (const auto& folder : {program(), bin(), units(), state()}) fs::create_directories(folder);
    for (const char* tool : {"INSTSRV", "SRVANY", "net"}) {
      fs::copy_file(fs::path(TRAVIK_SOURCE_DIR) / "data" / "files" / tool, program() / tool);
      fs::permissions(program() / tool, fs::perms::owner_all, fs::perm_options::add);
    }
    test::writeFile(bin() / "systemctl", kStandInSystemctl);
    fs::permissions(bin() / "systemctl", fs::perms::owner_all, fs::perm_options::add);
  }

  fs::path program() const { return temp.path() / "program"; }
  fs::path bin() const { return temp.path() / "bin"; }
  fs::path units() const { return temp.path() / "units"; }
  fs::path state() const { return temp.path() / "state"; }
  fs::path unitFile() const { return units() / "travikservice.service"; }

  // Runs a tool of the program folder; returns its exit code.
  int run(const std::vector<std::string>& arguments) {
    std::vector<std::string> environment = {
        "PATH=" + bin().string() + ":/usr/bin:/bin", "TRAVIK_UNIT_DIR=" + units().string(),
        "SYSTEMCTL_LOG=" + (temp.path() / "systemctl.log").string(), "SYSTEMCTL_STATE=" + state().string()};
    if (!failingCall.empty()) environment.push_back("SYSTEMCTL_FAIL=" + failingCall);
    // A program the tools start takes its locks where the test's own go.
    if (const char* locks = std::getenv("TRAVIK_LOCK_DIR"))
      environment.push_back(std::string("TRAVIK_LOCK_DIR=") + locks);
    std::vector<char*> argv, envp;
    std::string tool = (program() / arguments.at(0)).string();
    argv.push_back(tool.data());
    for (std::size_t i = 1; i < arguments.size(); ++i) argv.push_back(const_cast<char*>(arguments[i].c_str()));
    argv.push_back(nullptr);
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    const std::string output = (temp.path() / "output.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    lastPid = pid;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string output() const { return test::readFile(temp.path() / "output.txt"); }
  // The systemctl calls since the last look, one line each.
  std::vector<std::string> calls() {
    std::vector<std::string> lines;
    std::ifstream log(temp.path() / "systemctl.log");
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    fs::remove(temp.path() / "systemctl.log");
    return lines;
  }
  // As the console runs it: the program folder, a backslash and "SRVANY.EXE", quoted.
  int install() { return run({"INSTSRV", "TRAVIKservice.exe", program().string() + "\\SRVANY.EXE"}); }

  test::TempFolder temp;
  std::string failingCall;
  pid_t lastPid = 0;
};

TEST(Instsrv, InstallWritesTheUnitRunningSrvanyEnablesItAndEndsWith1) {
  Tools t;
  EXPECT_EQ(t.install(), 1) << t.output();
  const std::string unit = test::readFile(t.unitFile());
  EXPECT_NE(unit.find("ExecStart=\"" + (t.program() / "SRVANY").string() + "\" \"TRAVIKservice.exe\"\n"),
            std::string::npos)
      << unit;
  EXPECT_NE(unit.find("WantedBy=multi-user.target"), std::string::npos);
  EXPECT_EQ(t.calls(), (std::vector<std::string>{"daemon-reload", "enable travikservice.service"}));
  // Restarted after any end but an orderly stop, 2 and 5; five failed starts
  // within ten minutes leave it failed.  The start limit belongs to [Unit].
  const auto section = [&](const std::string& name) {
    const auto begin = unit.find("[" + name + "]");
    return begin == std::string::npos ? std::string() : unit.substr(begin, unit.find("\n[", begin + 1) - begin);
  };
  for (const char* line : {"\nRestart=on-failure\n", "\nRestartSec=60\n", "\nRestartPreventExitStatus=2 5\n",
                           "\nSyslogIdentifier=TRAVIKservice\n"})
    EXPECT_NE(section("Service").find(line), std::string::npos) << line << unit;
  for (const char* line : {"\nStartLimitIntervalSec=600\n", "\nStartLimitBurst=5\n"})
    EXPECT_NE(section("Unit").find(line), std::string::npos) << line << unit;
  // systemd's own reading of the unit: no unknown key, no misplaced one.
  if (::access("/usr/bin/systemd-analyze", X_OK) == 0) {
    const fs::path verdict = t.temp.path() / "verify.txt";
    const std::string command =
        "/usr/bin/systemd-analyze verify '" + t.unitFile().string() + "' >'" + verdict.string() + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << test::readFile(verdict);
    EXPECT_EQ(test::readFile(verdict), "") << unit;
  }

  // Installed already: refused, unit kept, systemd not asked.
  EXPECT_EQ(t.install(), 3);
  EXPECT_EQ(test::readFile(t.unitFile()), unit);
  EXPECT_TRUE(t.calls().empty());
}

TEST(Instsrv, AWrapperPathWithSlashesOrWithoutExeIsFoundToo) {
  Tools t;
  EXPECT_EQ(t.run({"INSTSRV", "TRAVIKservice.exe", (t.program() / "SRVANY").string()}), 1) << t.output();
  EXPECT_TRUE(fs::exists(t.unitFile()));
}

TEST(Instsrv, FailuresEndWithOtherCodesThan1AndLeaveNoUnit) {
  Tools t;
  EXPECT_EQ(t.run({"INSTSRV", "TRAVIKservice.exe", (t.program() / "NOSUCH.EXE").string()}), 2);
  EXPECT_EQ(t.run({"INSTSRV", "TRAVIKservice.exe"}), 2);
  EXPECT_EQ(t.run({"INSTSRV"}), 2);
  EXPECT_FALSE(fs::exists(t.unitFile()));
  EXPECT_TRUE(t.calls().empty());

  t.failingCall = "enable";
  EXPECT_EQ(t.install(), 4);
  EXPECT_FALSE(fs::exists(t.unitFile()));
  const auto calls = t.calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back(), "daemon-reload");
}

TEST(Instsrv, RemoveStopsDisablesAndDeletesTheUnitAndTheServicesRegistryKey) {
  Tools t;
  ASSERT_EQ(t.install(), 1);
  t.calls();
  platform::KeyStore registry(t.program() / "registry");
  ASSERT_TRUE(registry.createKey("HKEY_LOCAL_MACHINE", kServiceKey));
  ASSERT_TRUE(registry.createKey("HKEY_LOCAL_MACHINE", "Software\\TravikAdmin"));

  EXPECT_EQ(t.run({"INSTSRV", "TRAVIKservice.exe", "REMOVE"}), 1) << t.output();
  EXPECT_FALSE(fs::exists(t.unitFile()));
  EXPECT_EQ(t.calls(), (std::vector<std::string>{"disable --now travikservice.service", "daemon-reload"}));
  EXPECT_FALSE(registry.keyExists("HKEY_LOCAL_MACHINE", "System\\CurrentControlSet\\Services\\TRAVIKservice.exe"));
  EXPECT_TRUE(registry.keyExists("HKEY_LOCAL_MACHINE", "Software\\TravikAdmin"));
  // The folders the removal emptied go; the first one holding more stays.
  EXPECT_FALSE(fs::exists(t.program() / "registry" / "HKEY_LOCAL_MACHINE" / "System"));
  EXPECT_TRUE(fs::exists(t.program() / "registry" / "HKEY_LOCAL_MACHINE"));

  // Not installed any more.
  EXPECT_EQ(t.run({"INSTSRV", "TRAVIKservice.exe", "REMOVE"}), 3);
  EXPECT_TRUE(t.calls().empty());
}

TEST(Net, StartAndStopGoThroughSystemctlAndEndWith0OnlyOnSuccess) {
  Tools t;
  EXPECT_EQ(t.run({"net", "start", "TRAVIKservice.exe"}), 2);  // not installed
  ASSERT_EQ(t.install(), 1);
  t.calls();

  EXPECT_EQ(t.run({"net", "start", "TRAVIKservice.exe"}), 0) << t.output();
  auto calls = t.calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back(), "start travikservice.service");
  EXPECT_EQ(t.run({"net", "start", "travikservice.exe"}), 2);  // already started
  EXPECT_EQ(t.calls().back(), "is-active --quiet travikservice.service");

  EXPECT_EQ(t.run({"net", "stop", "TRAVIKservice.exe"}), 0) << t.output();
  EXPECT_EQ(t.calls().back(), "stop travikservice.service");
  EXPECT_EQ(t.run({"net", "stop", "TRAVIKservice.exe"}), 2);  // not started

  t.failingCall = "start";
  EXPECT_EQ(t.run({"net", "start", "TRAVIKservice.exe"}), 2);
  EXPECT_NE(t.run({"net", "pause", "TRAVIKservice.exe"}), 0);
  EXPECT_NE(t.run({"net", "start"}), 0);
}

TEST(Srvany, StartsTheRegisteredApplicationInItsPlaceAndFolder) {
  Tools t;
  test::writeFile(t.program() / "TRAVIKservice", "#!/bin/sh\necho \"$PWD $$\" > started.txt\nexit 7\n");
  fs::permissions(t.program() / "TRAVIKservice", fs::perms::owner_all, fs::perm_options::add);
  platform::KeyStore registry(t.program() / "registry");

  EXPECT_EQ(t.run({"SRVANY", "TRAVIKservice.exe"}), 2);  // nothing registered
  EXPECT_FALSE(fs::exists(t.program() / "started.txt"));

  ASSERT_TRUE(registry.createKey("HKEY_LOCAL_MACHINE", kServiceKey));
  platform::RegValue application;
  application.text = t.program().string() + "\\TRAVIKservice.exe";  // as the console writes it
  ASSERT_TRUE(registry.setValue("HKEY_LOCAL_MACHINE", kServiceKey, "Application", application));
  EXPECT_EQ(t.run({"SRVANY", "travikservice.exe"}), 7) << t.output();
  EXPECT_EQ(test::readFile(t.program() / "started.txt"), t.program().string() + " " + std::to_string(t.lastPid) + "\n");

  application.text = (t.program() / "gone").string();
  ASSERT_TRUE(registry.setValue("HKEY_LOCAL_MACHINE", kServiceKey, "Application", application));
  EXPECT_EQ(t.run({"SRVANY", "TRAVIKservice.exe"}), 2);
}

}  // namespace
}  // namespace travik
