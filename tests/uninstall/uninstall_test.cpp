// The uninstaller's pass against a temporary program folder: the real service
// tools of the program folder, a stand-in systemctl on PATH that records its
// calls, and message boxes answered by the test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <memory>
#include <optional>

#include "platform/instance_lock.h"
#include "platform/key_store.h"
#include "processing/runtime/console_interlock.h"
#include "tests/support/test_program.h"
#include "uninstall/uninstall_main.h"

namespace travik {
namespace {

namespace fs = std::filesystem;
using uninstall::Answer;
using uninstall::Buttons;
using uninstall::Icon;

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "uninstall_tests";
    static char* argv[] = {name, nullptr};
    application_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { application_.reset(); }

 private:
  std::unique_ptr<QApplication> application_;
};
[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Answers "show" for the console's state query and for net, and keeps each
// unit's active state in a file.  SYSTEMCTL_FAIL names a command that fails.
constexpr const char* kStandInSystemctl = R"sh(#!/usr/bin/env bash
echo "$*" >> "$SYSTEMCTL_LOG"
if [ -n "${SYSTEMCTL_FAIL:-}" ] && [ "$1" = "$SYSTEMCTL_FAIL" ]; then exit 1; fi
unit=${@: -1}
state="$SYSTEMCTL_STATE/$unit.active"
active=$(cat "$state" 2>/dev/null || echo inactive)
case $1 in
  show)
    if [ -e "$TRAVIK_UNIT_DIR/$unit" ]; then load=loaded; else load=not-found; fi
    if [ "$2" = "--property=LoadState" ]; then echo "$load"; else printf 'LoadState=%s\nActiveState=%s\n' "$load" "$active"; fi ;;
  is-active) [ "$active" = active ] ;;
  start) echo active > "$state" ;;
  stop | disable) echo inactive > "$state" ;;
esac
)sh";

constexpr const char* kAdminRunning =
    "The TRAVIK admin application is running.  Please exit TRAVIK admin prior to attempting uninstall.";
constexpr const char* kUninstallQuestion =
    "The TRAVIK service must be uninstalled prior to uninstalling TRAVIK admin.\r\n\r\n"
    "Would you like to uninstall the TRAVIK service now?";
constexpr const char* kStopAndUninstallQuestion =
    "The TRAVIK service must be stopped and uninstalled prior to uninstalling TRAVIK admin.\r\n\r\n"
    "Would you like to stop and uninstall the TRAVIK service now?";
constexpr const char* kSetupMissingLine = "(error):53 (File not found) in procedure Main()";
constexpr const char* kSetupFailed =
    "Failed to initiate the TRAVIK admin uninstall script (st6unst).  Use Windows Control Panel Add/Remove Programs "
    "to complete the removal of TRAVIK.";

constexpr const char* kHklm = "HKEY_LOCAL_MACHINE";
constexpr const char* kAdminKey = "Software\\TravikAdmin";

// One message box as the operator saw it, with the wait window behind it.
struct Box {
  std::string text;
  Buttons buttons;
  Icon icon;
  bool waitShown;
  std::string waitCaption;
  std::string waitLabel;
};

class Uninstall : public ::testing::Test {
 protected:
  Uninstall() : savedFolder_(fs::current_path()) {
    for (const auto& folder : {program(), bin(), units(), state()}) fs::create_directories(folder);
    for (const char* tool : {"INSTSRV", "SRVANY", "net"}) {
      fs::copy_file(fs::path(TRAVIK_SOURCE_DIR) / "data" / "files" / tool, program() / tool);
      fs::permissions(program() / tool, fs::perms::owner_all, fs::perm_options::add);
    }
    test::writeFile(bin() / "systemctl", kStandInSystemctl);
    fs::permissions(bin() / "systemctl", fs::perms::owner_all, fs::perm_options::add);
    test::createDeliveredDatabase(program() / "vrndata.mdb");

    const char* path = std::getenv("PATH");
    savedPath_ = path ? path : "";
    ::setenv("PATH", (bin().string() + ":" + savedPath_).c_str(), 1);
    ::setenv("TRAVIK_UNIT_DIR", units().c_str(), 1);
    ::setenv("SYSTEMCTL_LOG", (temp.path() / "systemctl.log").c_str(), 1);
    ::setenv("SYSTEMCTL_STATE", state().c_str(), 1);
    ::unsetenv("SYSTEMCTL_FAIL");

    uninstaller.messageBox = [this](const std::string& text, Buttons buttons, Icon icon) {
      boxes.push_back({text, buttons, icon, frmWait.isVisible(), frmWait.windowTitle().toStdString(),
                       frmWait.lblWait()->text().toStdString()});
      if (answers.empty()) return Answer::Ok;
      const Answer answer = answers.front();
      answers.pop_front();
      return answer;
    };
    uninstaller.sleep = [this](int milliseconds) { sleeps.push_back(milliseconds); };
  }

  ~Uninstall() override {
    fs::current_path(savedFolder_);
    ::setenv("PATH", savedPath_.c_str(), 1);
    for (const char* name : {"TRAVIK_UNIT_DIR", "SYSTEMCTL_LOG", "SYSTEMCTL_STATE", "SYSTEMCTL_FAIL"}) ::unsetenv(name);
  }

  fs::path program() const { return temp.path() / "program"; }
  fs::path bin() const { return temp.path() / "bin"; }
  fs::path units() const { return temp.path() / "units"; }
  fs::path state() const { return temp.path() / "state"; }
  fs::path unitFile() const { return units() / "travikservice.service"; }

  // The service as INSTSRV leaves it, in the given systemd active state.
  void installService(const std::string& activeState) {
    test::writeFile(unitFile(), "[Service]\nExecStart=SRVANY TRAVIKservice.exe\n");
    test::writeFile(state() / "travikservice.service.active", activeState + "\n");
  }

  // What a console leaves behind: its output folder (with read-only content),
  // the lock file of the database and its registry key with sub keys.
  void leaveWorkingFiles() {
    fs::create_directories(program() / "output" / "logs" / "old");
    test::writeFile(program() / "output" / "TRAVIK-REPORT.AllCalls.csv", "x\r\n");
    test::writeFile(program() / "output" / "logs" / "old" / "TRAVIKadmin.log", "x\r\n");
    fs::permissions(program() / "output" / "TRAVIK-REPORT.AllCalls.csv", fs::perms::owner_read);
    fs::permissions(program() / "output" / "logs" / "old", fs::perms::owner_read | fs::perms::owner_exec);
    test::writeFile(program() / "vrndata.ldb", "");
    fs::permissions(program() / "vrndata.ldb", fs::perms::owner_read);
    test::writeFile(program() / "TRAVIK.htm", "<html></html>");
    platform::RegValue running;
    running.type = platform::RegType::Dword;
    running.number = 1;
    ASSERT_TRUE(registry.createKey(kHklm, std::string(kAdminKey) + "\\Settings\\Window"));
    ASSERT_TRUE(registry.setValue(kHklm, kAdminKey, "TravikAdminIsRunning", running));
    ASSERT_TRUE(registry.createKey(kHklm, "Software\\Other"));
  }

  void expectWorkingFilesKept() {
    EXPECT_TRUE(fs::exists(program() / "output" / "logs" / "old" / "TRAVIKadmin.log"));
    EXPECT_TRUE(fs::exists(program() / "vrndata.ldb"));
    EXPECT_TRUE(registry.queryValue(kHklm, kAdminKey, "TravikAdminIsRunning").has_value());
  }

  void expectCleanedUp() {
    EXPECT_FALSE(fs::exists(program() / "output"));
    EXPECT_FALSE(fs::exists(program() / "vrndata.ldb"));
    EXPECT_FALSE(registry.keyExists(kHklm, kAdminKey));
    // Nothing else goes: the database, the help page, the tools, other keys.
    EXPECT_TRUE(fs::exists(program() / "vrndata.mdb"));
    EXPECT_TRUE(fs::exists(program() / "TRAVIK.htm"));
    EXPECT_TRUE(fs::exists(program() / "INSTSRV"));
    EXPECT_TRUE(registry.keyExists(kHklm, "Software\\Other"));
  }

  // The systemctl calls since the last look, one line each.
  std::vector<std::string> calls() {
    std::vector<std::string> lines;
    std::ifstream log(temp.path() / "systemctl.log");
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    fs::remove(temp.path() / "systemctl.log");
    return lines;
  }

  std::vector<std::string> texts() const {
    std::vector<std::string> result;
    for (const auto& box : boxes) result.push_back(box.text);
    return result;
  }

  test::TempFolder temp;
  platform::KeyStore registry{temp.path() / "program" / "registry"};
  uninstall::FrmWait frmWait;
  uninstall::Uninstaller uninstaller{temp.path() / "program", frmWait};
  std::deque<Answer> answers;
  std::vector<Box> boxes;
  std::vector<int> sleeps;

 private:
  fs::path savedFolder_;
  std::string savedPath_;
};

constexpr const char* kShow = "show -p LoadState -p ActiveState travikservice.service";

TEST_F(Uninstall, WhileTheConsoleRunsOnlyTheRefusalIsShown) {
  leaveWorkingFiles();
  installService("active");
  platform::InstanceLock console(consoleLockFile(program()));
  ASSERT_TRUE(console.acquire());

  uninstall::Main(uninstaller);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kAdminRunning);
  EXPECT_EQ(boxes[0].icon, Icon::Warning);
  EXPECT_EQ(boxes[0].buttons, Buttons::Ok);
  EXPECT_TRUE(calls().empty());
  EXPECT_TRUE(fs::exists(unitFile()));
  expectWorkingFilesKept();

  // A lock file left by a console that has ended is no refusal.
  console.release();
  EXPECT_FALSE(uninstall::adminIsRunning(uninstaller));
}

TEST_F(Uninstall, WithoutTheServiceTheCleanUpRunsAtOnce) {
  leaveWorkingFiles();
  uninstall::Main(uninstaller);
  EXPECT_EQ(texts(), (std::vector<std::string>{kSetupMissingLine, kSetupFailed}));
  EXPECT_EQ(boxes[0].icon, Icon::None);
  EXPECT_EQ(boxes[1].icon, Icon::Warning);
  EXPECT_EQ(calls(), std::vector<std::string>{kShow});
  EXPECT_TRUE(sleeps.empty());
  expectCleanedUp();

  // Nothing left to delete: those steps pass silently.
  boxes.clear();
  uninstall::Main(uninstaller);
  EXPECT_EQ(texts(), (std::vector<std::string>{kSetupMissingLine, kSetupFailed}));
}

TEST_F(Uninstall, AStoppedServiceIsRemovedAfterOneQuestion) {
  leaveWorkingFiles();
  installService("inactive");
  uninstall::Main(uninstaller);

  EXPECT_EQ(texts(), (std::vector<std::string>{kUninstallQuestion, kSetupMissingLine, kSetupFailed}));
  EXPECT_EQ(boxes[0].buttons, Buttons::OkCancel);
  EXPECT_EQ(boxes[0].icon, Icon::Warning);
  EXPECT_EQ(calls(), (std::vector<std::string>{kShow, "disable --now travikservice.service", "daemon-reload"}));
  EXPECT_FALSE(fs::exists(unitFile()));
  EXPECT_EQ(sleeps, std::vector<int>{500});
  EXPECT_FALSE(frmWait.isVisible());
  EXPECT_EQ(fs::current_path(), program());
  expectCleanedUp();
}

TEST_F(Uninstall, KeyStoreFoldersTheRemovalsEmptiedGoWhileOtherKeysAndTheirParentsStay) {
  const std::string serviceKey = "System\\CurrentControlSet\\Services\\TRAVIKservice.exe\\Parameters";
  platform::RegValue application;
  application.text = (program() / "TRAVIKservice").string();
  const auto layOut = [&](bool otherKeys) {
    ASSERT_TRUE(registry.createKey(kHklm, std::string(kAdminKey) + "\\Settings"));
    ASSERT_TRUE(registry.setValue(kHklm, kAdminKey, "TravikAdminIsRunning", application));
    ASSERT_TRUE(registry.createKey(kHklm, serviceKey));
    ASSERT_TRUE(registry.setValue(kHklm, serviceKey, "Application", application));
    if (otherKeys) {
      ASSERT_TRUE(registry.createKey(kHklm, "System\\CurrentControlSet\\Services\\Other"));
      ASSERT_TRUE(registry.createKey(kHklm, "Software\\Empty"));
    }
    installService("inactive");
  };

  // Other keys beside ours: they and the folders above them stay.
  layOut(true);
  uninstall::Main(uninstaller);
  EXPECT_FALSE(registry.keyExists(kHklm, kAdminKey));
  EXPECT_FALSE(registry.keyExists(kHklm, "System\\CurrentControlSet\\Services\\TRAVIKservice.exe"));
  EXPECT_TRUE(registry.keyExists(kHklm, "System\\CurrentControlSet\\Services\\Other"));
  EXPECT_TRUE(registry.keyExists(kHklm, "Software\\Empty"));

  // Only our keys: nothing of the key store is left.
  fs::remove_all(program() / "registry");
  boxes.clear();
  layOut(false);
  uninstall::Main(uninstaller);
  EXPECT_FALSE(fs::exists(program() / "registry"));
  EXPECT_TRUE(fs::exists(program() / "vrndata.mdb"));

  // A key store the uninstaller emptied nothing in stays as it was.
  ASSERT_TRUE(registry.createKey(kHklm, "Software"));
  boxes.clear();
  uninstall::Main(uninstaller);
  EXPECT_TRUE(registry.keyExists(kHklm, "Software"));
}

TEST_F(Uninstall, ARunningServiceIsStoppedThenRemoved) {
  leaveWorkingFiles();
  installService("active");
  uninstall::Main(uninstaller);

  EXPECT_EQ(texts(), (std::vector<std::string>{kStopAndUninstallQuestion, kSetupMissingLine, kSetupFailed}));
  EXPECT_EQ(boxes[0].buttons, Buttons::OkCancel);
  // The state query, net's check and stop, then INSTSRV's removal.
  EXPECT_EQ(calls(), (std::vector<std::string>{kShow, "show --property=LoadState --value travikservice.service",
                                               "is-active --quiet travikservice.service", "stop travikservice.service",
                                               "disable --now travikservice.service", "daemon-reload"}));
  EXPECT_FALSE(fs::exists(unitFile()));
  EXPECT_EQ(sleeps, (std::vector<int>{500, 500}));
  expectCleanedUp();
}

TEST_F(Uninstall, CancelAtTheQuestionRemovesNothing) {
  leaveWorkingFiles();
  for (const char* activeState : {"inactive", "active"}) {
    installService(activeState);
    boxes.clear();
    answers = {Answer::Cancel};
    uninstall::Main(uninstaller);
    ASSERT_EQ(boxes.size(), 2u) << activeState;
    EXPECT_EQ(boxes[1].text, "TRAVIK uninstallation canceled.");
    EXPECT_EQ(boxes[1].icon, Icon::None);
    EXPECT_EQ(calls(), std::vector<std::string>{kShow});
    EXPECT_TRUE(fs::exists(unitFile()));
    expectWorkingFilesKept();
  }
  EXPECT_TRUE(sleeps.empty());
}

TEST_F(Uninstall, AFailedStopShowsItsCodeOverTheWaitWindowAndRemovesNothing) {
  leaveWorkingFiles();
  installService("active");
  ::setenv("SYSTEMCTL_FAIL", "stop", 1);  // net stop then ends with 2
  uninstall::Main(uninstaller);

  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[1].text, "Failed to stop the TRAVIK service.  Return Code 2");
  EXPECT_EQ(boxes[1].icon, Icon::Warning);
  EXPECT_TRUE(boxes[1].waitShown);
  EXPECT_EQ(boxes[1].waitCaption, "Stopping...");
  EXPECT_EQ(boxes[1].waitLabel, "Stopping the TRAVIK service...");
  EXPECT_EQ(boxes[2].text, "TRAVIK has not been uninstalled.");
  EXPECT_FALSE(boxes[2].waitShown);
  for (const auto& call : calls()) EXPECT_EQ(call.find("disable"), std::string::npos) << call;
  EXPECT_TRUE(fs::exists(unitFile()));
  EXPECT_TRUE(sleeps.empty());
  expectWorkingFilesKept();
}

TEST_F(Uninstall, AFailedOrMissingRemovalToolShowsItsCodeAndRemovesNothing) {
  leaveWorkingFiles();
  installService("inactive");
  ::setenv("SYSTEMCTL_FAIL", "disable", 1);  // INSTSRV then ends with 4
  uninstall::Main(uninstaller);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[1].text, "Failed to uninstall the TRAVIK service.  Return Code 4");
  EXPECT_EQ(boxes[1].waitCaption, "Uninstalling...");
  EXPECT_EQ(boxes[1].waitLabel, "Uninstalling the TRAVIK service...");
  EXPECT_EQ(boxes[2].text, "TRAVIK has not been uninstalled.");
  expectWorkingFilesKept();

  ::unsetenv("SYSTEMCTL_FAIL");
  fs::remove(program() / "INSTSRV");
  boxes.clear();
  EXPECT_FALSE(uninstall::cmdUninstallService(uninstaller));
  EXPECT_EQ(texts(), std::vector<std::string>{"Failed to uninstall the TRAVIK service.  Return Code -1"});
  EXPECT_FALSE(frmWait.isVisible());
}

TEST_F(Uninstall, AnEventViewerWindowWarnsOnceAndTheCleanUpGoesOn) {
  leaveWorkingFiles();
  int searches = 0;
  uninstaller.eventViewerWindowExists = [&] {
    ++searches;
    return true;
  };
  uninstall::Main(uninstaller);
  EXPECT_EQ(searches, 1);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text,
            "Event Viewer is running.  This may prevent some TRAVIK files from being successfully deleted.  Please "
            "exit the Event Viewer application.  Then select 'OK' to proceed.");
  EXPECT_EQ(boxes[0].icon, Icon::Warning);
  expectCleanedUp();
}

TEST_F(Uninstall, LinksAreRemovedThemselvesAndWhatTheyPointToStays) {
  leaveWorkingFiles();
  const fs::path elsewhere = temp.path() / "elsewhere";
  fs::create_directories(elsewhere / "Sub");
  test::writeFile(elsewhere / "keep.txt", "REG_SZ\nkeep\n");
  fs::create_directory_symlink(elsewhere, program() / "output" / "linked");
  fs::create_directory_symlink(elsewhere, registry.keyFolder(kHklm, kAdminKey) / "Linked");

  uninstall::Main(uninstaller);
  expectCleanedUp();
  EXPECT_TRUE(fs::exists(elsewhere / "keep.txt"));
  EXPECT_TRUE(fs::is_directory(elsewhere / "Sub"));

  // An output folder that is itself a link goes as a link.
  fs::create_directory_symlink(elsewhere, program() / "output");
  uninstall::Main(uninstaller);
  EXPECT_FALSE(fs::exists(fs::symlink_status(program() / "output")));
  EXPECT_TRUE(fs::exists(elsewhere / "keep.txt"));
}

TEST_F(Uninstall, WhatCannotBeDeletedIsReportedAndTheNextStepRuns) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  leaveWorkingFiles();
  fs::permissions(program(), fs::perms::owner_write, fs::perm_options::remove);
  uninstall::Main(uninstaller);
  fs::permissions(program(), fs::perms::owner_write, fs::perm_options::add);

  ASSERT_EQ(boxes.size(), 4u);
  for (int i : {0, 1}) {
    EXPECT_TRUE(boxes[i].text.starts_with("(error):70 (")) << boxes[i].text;
    EXPECT_TRUE(boxes[i].text.ends_with(") in procedure Main()")) << boxes[i].text;
  }
  EXPECT_TRUE(fs::exists(program() / "output"));
  EXPECT_TRUE(fs::exists(program() / "vrndata.ldb"));
  EXPECT_FALSE(registry.keyExists(kHklm, kAdminKey));  // the key store's own folders stay writable
  EXPECT_EQ(boxes[3].text, kSetupFailed);
}

}  // namespace
}  // namespace travik
