// The console's start-up: one console per program folder, the running flag of the
// registry, the gateway check, and what a start leaves behind.
#include "admin/app/frm_admin_startup.h"

#include <QPushButton>
#include <QTimer>

#include "admin/windows/frm_auto_shutdown.h"
#include "admin/windows/frm_service_monitor_timer.h"
#include "platform/instance_lock.h"
#include "processing/runtime/console_interlock.h"
#include "processing/runtime/read_only_mode.h"
#include "tests/admin/console_fixture.h"
#include "tests/support/lock_holder.h"

namespace travik {
namespace {

namespace fs = std::filesystem;

class StartupTest : public test::ConsoleFixture {
 protected:
  StartupTest() { serviceStates["Varnel"] = 1; }

  bool start() { return FrmAdminStartup(*console).formLoad(); }

  std::optional<int> registryFlag() {
    const auto value = program().registry.queryValue("HKEY_LOCAL_MACHINE", kAdminRegistryKey, kAdminRunningValue);
    return value ? std::optional<int>(value->number) : std::nullopt;
  }
  void setRegistryFlag(int flag) {
    program().registry.createKey("HKEY_LOCAL_MACHINE", kAdminRegistryKey);
    platform::RegValue value;
    value.type = platform::RegType::Dword;
    value.number = flag;
    program().registry.setValue("HKEY_LOCAL_MACHINE", kAdminRegistryKey, kAdminRunningValue, value);
  }
  // ADMINRUNNING as stored, read through a connection of its own.
  std::string adminRunning() {
    db::Connection db;
    db.open(program().databasePath().string());
    auto query = db.prepare("select value from applicationparameters where property = 'ADMINRUNNING'");
    return query.step() ? query.getText(0) : "";
  }
  bool activityLogsExist() { return fs::exists(test.outputFolder() / "logs"); }
};

TEST_F(StartupTest, AFirstStartMarksTheConsoleRunningAndShowsTheMainWindow) {
  ASSERT_FALSE(registryFlag());
  ASSERT_TRUE(start());
  EXPECT_EQ(registryFlag(), 1);
  EXPECT_EQ(adminRunning(), "True");
  EXPECT_TRUE(program().settings.adminRunning);
  EXPECT_FALSE(program().gatewayNotInstalled);
  // The gateway counts as installed, so its trace level is checked (here
  // against a data source that does not exist, which is reported).
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("in procedure setMervaleTraceLevelVerbose()"), std::string::npos);
  EXPECT_TRUE(platform::InstanceLock::isHeld(consoleLockFile(program().programFolder)));
  EXPECT_EQ(program().idleDeadline, clock.addMinutes(30));
  EXPECT_TRUE(console->frmAutoShutdown().tmrCheckForIdleTimeout->isActive());
  EXPECT_TRUE(console->frmAutoShutdown().isHidden());
  EXPECT_TRUE(console->frmServiceMonitorTimer().tmrServiceTimer->isActive());
  EXPECT_EQ(console->frmServiceMonitorTimer().tmrServiceTimer->interval(), 2000);
  EXPECT_TRUE(frmMain().isVisible());
  EXPECT_EQ(serviceQueries, (std::vector<std::string>{"Varnel", "travikservice.exe"}));
  // Shown with the service controls of a service not installed, before any tick.
  EXPECT_TRUE(frmMain().cmdInstallService->isEnabled());
  EXPECT_FALSE(frmMain().cmdUninstallService->isEnabled());
  EXPECT_FALSE(frmMain().cmdStartService->isEnabled());
  EXPECT_FALSE(frmMain().cmdStopService->isEnabled());
  EXPECT_TRUE(activityLogsExist());
  EXPECT_EQ(program().eventSource, "TRAVIK Admin");

  // Every exit path ends in the orderly exit, which takes both marks back.
  EXPECT_THROW(frmMain().cmdExit_Click(), ProgramEnded);
  EXPECT_EQ(registryFlag(), 0);
  EXPECT_EQ(adminRunning(), "False");
}

// As when its lock or the database may not be written: one message says why,
// the database is only read, and no mark is set or taken back.
TEST_F(StartupTest, AConsoleThatOnlyReadsItsDatabaseSaysWhyOnceAndMarksNothing) {
  enterReadOnlyMode(program(), "TRAVIK admin cannot take its lock.");
  ASSERT_TRUE(start());
  ASSERT_EQ(boxes.size(), 2u);  // and the trace level's, as on every start here
  EXPECT_EQ(boxes[0].title, "Database not writable");
  EXPECT_EQ(boxes[0].text.rfind("TRAVIK admin cannot take its lock.  The grids show it", 0), 0u);
  EXPECT_EQ(adminRunning(), "False");
  EXPECT_THROW(program().db.exec("delete from linewalk"), db::DbError);
  EXPECT_THROW(frmMain().cmdExit_Click(), ProgramEnded);
  EXPECT_FALSE(registryFlag());
}

TEST_F(StartupTest, ASecondConsoleEndsAfterItsMessageAndChangesNothing) {
  platform::InstanceLock running(consoleLockFile(program().programFolder));
  ASSERT_TRUE(running.acquire());
  setRegistryFlag(1);
  EXPECT_FALSE(start());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kAlreadyRunningMessage);
  EXPECT_EQ(boxes[0].title, "TRAVIK");
  EXPECT_EQ(boxes[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(boxes[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(registryFlag(), 1);
  EXPECT_EQ(adminRunning(), "False");
  EXPECT_FALSE(program().db.isOpen());
  EXPECT_FALSE(activityLogsExist());
  EXPECT_FALSE(frmMain().isVisible());
  EXPECT_TRUE(serviceQueries.empty());
}

TEST_F(StartupTest, ARunningFlagLeftBehindAsksAndCancelEndsWithoutAChange) {
  setRegistryFlag(1);
  answers = {MessageResult::Cancel};
  EXPECT_FALSE(start());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kRunningElsewhereMessage);
  EXPECT_EQ(boxes[0].buttons, MessageButtons::OkCancel);
  EXPECT_EQ(boxes[0].icon, MessageIcon::Exclamation);
  EXPECT_FALSE(program().db.isOpen());
  EXPECT_FALSE(activityLogsExist());
  // The lock is given back, so a later console is not refused.
  EXPECT_FALSE(platform::InstanceLock::isHeld(consoleLockFile(program().programFolder)));
}

TEST_F(StartupTest, ARunningFlagLeftBehindAsksAndOkStartsNormally) {
  setRegistryFlag(1);
  answers = {MessageResult::Ok};
  ASSERT_TRUE(start());
  EXPECT_EQ(boxes.at(0).text, kRunningElsewhereMessage);
  EXPECT_EQ(registryFlag(), 1);
  EXPECT_EQ(adminRunning(), "True");
}

TEST_F(StartupTest, AMissingGatewayAsksAndCancelEndsBeforeTheDatabaseIsOpened) {
  serviceStates.clear();
  answers = {MessageResult::Cancel};
  EXPECT_FALSE(start());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kGatewayMissingMessage);
  EXPECT_EQ(boxes[0].buttons, MessageButtons::OkCancel);
  EXPECT_FALSE(program().db.isOpen());
  EXPECT_FALSE(activityLogsExist());
  EXPECT_FALSE(registryFlag());
}

TEST_F(StartupTest, AMissingGatewayAcceptedLimitsTheConsoleAndSkipsTheTraceLevelCheck) {
  serviceStates.clear();
  ASSERT_TRUE(start());
  EXPECT_TRUE(program().gatewayNotInstalled);
  // The only box is the question: the gateway's data source is never asked.
  EXPECT_EQ(boxTexts(), std::vector<std::string>{kGatewayMissingMessage});
  EXPECT_EQ(adminRunning(), "True");
}

TEST_F(StartupTest, AGatewayThatIsStoppedPausedOrStartingCountsAsInstalled) {
  for (int state : {1, 2, 7}) {
    serviceStates["Varnel"] = state;
    program().gatewayNotInstalled = true;
    console->instanceLock.release();
    program().db.close();
    boxes.clear();
    ASSERT_TRUE(start());
    EXPECT_FALSE(program().gatewayNotInstalled) << state;
    for (const auto& text : boxTexts()) EXPECT_NE(text, kGatewayMissingMessage);
  }
}

TEST_F(StartupTest, AMissingDatabaseEndsTheProgramAfterItsMessage) {
  fs::remove(program().databasePath());
  EXPECT_THROW(start(), ProgramEnded);
  EXPECT_EQ(boxes.back().text, "Could not find the TRAVIK database (vrndata.mdb)");
  EXPECT_EQ(boxes.back().title, "Database not found");
  EXPECT_FALSE(frmMain().isVisible());
  EXPECT_NE(registryFlag(), 1);
}

TEST_F(StartupTest, AConsoleInAnotherProcessRefusesTheSecondAndOnceKilledRefusesNothing) {
  test::LockHolder running(consoleLockFile(program().programFolder));
  ASSERT_EQ(running.result(), platform::LockResult::Taken);
  EXPECT_FALSE(start());
  EXPECT_EQ(boxTexts(), std::vector<std::string>{kAlreadyRunningMessage});

  running.kill();
  boxes.clear();
  ASSERT_TRUE(start());
  for (const auto& text : boxTexts()) EXPECT_NE(text, kAlreadyRunningMessage);
  EXPECT_TRUE(frmMain().isVisible());
  EXPECT_TRUE(platform::InstanceLock::isHeld(consoleLockFile(program().programFolder)));
}

TEST_F(StartupTest, AProgramFolderThatCannotBeWrittenIsNoRefusal) {
  const fs::path lockFile = consoleLockFile(program().programFolder);
  EXPECT_NE(lockFile.parent_path(), program().programFolder);
  fs::permissions(program().programFolder, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const bool started = start();
  fs::permissions(program().programFolder, fs::perms::owner_write, fs::perm_options::add);
  EXPECT_TRUE(started);
  for (const auto& text : boxTexts()) EXPECT_NE(text, kAlreadyRunningMessage);
  EXPECT_TRUE(platform::InstanceLock::isHeld(lockFile));
}

TEST_F(StartupTest, AnEntryInTheWayOfTheLockRefusesTheConsoleWithOneBoxUntilItIsGone) {
  const fs::path lockFile = consoleLockFile(program().programFolder);
  fs::create_directories(lockFile);  // in the way of the lock file
  EXPECT_FALSE(start());
  ASSERT_EQ(boxTexts().size(), 1u);
  EXPECT_EQ(boxTexts()[0].rfind("TRAVIK admin cannot start: the folder " + lockFile.string() + " of ", 0), 0u);
  EXPECT_TRUE(boxTexts()[0].ends_with("; remove it, then start TRAVIK admin again.")) << boxTexts()[0];
  EXPECT_FALSE(frmMain().isVisible());
  fs::remove(lockFile);
  boxes.clear();
  EXPECT_TRUE(start());
  for (const auto& text : boxTexts()) EXPECT_EQ(text.find("cannot start"), std::string::npos);
}

}  // namespace
}  // namespace travik
