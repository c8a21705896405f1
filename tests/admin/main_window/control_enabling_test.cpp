// The main window's control states and the service monitor that applies them.
#include "admin/main_window/control_enabling.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include "admin/windows/frm_service_monitor_timer.h"
#include "tests/admin/console_fixture.h"

namespace travik {
namespace {

class ControlStateTest : public test::ConsoleFixture {
 protected:
  ControlStateTest() { connect(); }

  void tick(int serviceState) {
    serviceStates["travikservice.exe"] = serviceState;
    console->frmServiceMonitorTimer().tmrServiceTimer_Timer();
  }
  // install, uninstall, start, stop
  std::string serviceButtons() {
    FrmMain& w = frmMain();
    std::string state;
    for (QPushButton* b : {w.cmdInstallService, w.cmdUninstallService, w.cmdStartService, w.cmdStopService})
      state += b->isEnabled() ? '1' : '0';
    return state;
  }
  bool serviceSettingsEnabled() {
    FrmMain& w = frmMain();
    int enabled = 0;
    for (QWidget* c :
         std::initializer_list<QWidget*>{w.lblInterval1, w.lblInterval2, w.lblTestInterval1, w.lblTestInterval2,
                                         w.cmbInterval, w.cmbTestInterval, w.chkTestCalls})
      enabled += c->isEnabled();
    EXPECT_TRUE(enabled == 0 || enabled == 7) << enabled;
    return enabled == 7;
  }
};

TEST_F(ControlStateTest, TheMonitorAsksForTheProcessingServiceAndFollowsEachState) {
  FrmMain& w = frmMain();
  tick(-1);
  EXPECT_EQ(serviceQueries.back(), "travikservice.exe");
  EXPECT_EQ(serviceButtons(), "1000");
  EXPECT_FALSE(serviceSettingsEnabled());
  EXPECT_TRUE(w.frmFileLocations->isEnabled());
  EXPECT_EQ(w.frmFileLocations->title().toStdString(), "File Locations");

  // Running, stopping and pausing: only Stop, and the file locations locked.
  for (int state : {3, 4, 6}) {
    tick(state);
    EXPECT_EQ(serviceButtons(), "0001") << state;
    EXPECT_FALSE(serviceSettingsEnabled());
    EXPECT_FALSE(w.frmFileLocations->isEnabled());
    EXPECT_EQ(w.frmFileLocations->title().toStdString(), "File Locations - No edit while service running");
  }
  // Stopped, starting, continuing and paused read as stopped.
  for (int state : {1, 2, 5, 7}) {
    tick(4);
    tick(state);
    EXPECT_EQ(serviceButtons(), "0110") << state;
    EXPECT_TRUE(serviceSettingsEnabled());
    EXPECT_TRUE(w.frmFileLocations->isEnabled());
    EXPECT_EQ(w.frmFileLocations->title().toStdString(), "File Locations");
  }
  EXPECT_EQ(program().handledErrorCount, 0);
}

TEST_F(ControlStateTest, WithoutTheGatewayEveryProcedureHidesTheServiceFrameAndItsMenus) {
  program().gatewayNotInstalled = true;
  FrmMain& w = frmMain();
  for (auto procedure : {setControlsBrowseOff, setControlsServiceInstalledStopped, setControlsServiceUninstalled,
                         setControlsManualProcessStopped}) {
    w.frmService->show();
    w.frmService->setEnabled(true);
    w.mnuOptionsTestCalls->setEnabled(true);
    w.mnuOptionsEventViewer->setEnabled(true);
    procedure(w);
    EXPECT_TRUE(w.frmService->isHidden());
    EXPECT_FALSE(w.frmService->isEnabled());
    EXPECT_FALSE(w.mnuOptionsTestCalls->isEnabled());
    EXPECT_FALSE(w.mnuOptionsEventViewer->isEnabled());
  }
  tick(1);
  EXPECT_TRUE(w.frmService->isHidden());
  // The other option items stay usable.
  EXPECT_TRUE(w.mnuOptionsPurgeEventData->isEnabled());
}

TEST_F(ControlStateTest, AManualRunLocksTheWindowAndItsEndLeavesTheCallButtonsOff) {
  FrmMain& w = frmMain();
  w.cmdViewCallDetail->setEnabled(true);
  w.cmdViewTasks->setEnabled(true);
  setControlsManualProcessRunning(w);
  for (QWidget* c : std::initializer_list<QWidget*>{
           w.cmbRetention, w.cmdBrowseForLog, w.cmdBrowseForOutputLocation, w.txtLogLocation, w.txtOutputPath,
           w.cmdLoad, w.cmdDumpCsv, w.cmdExit, w.cmdSaveCallsGrid, w.cmdSaveErrorsGrid, w.cmdViewPerLine,
           w.cmdViewPerOctel, w.cmdViewCallDetail, w.cmdViewTasks, w.dtpStartRange, w.dtpEndRange})
    EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
  EXPECT_TRUE(w.flxCalls->isHidden());
  EXPECT_TRUE(w.flxErrors->isHidden());
  for (QMenu* m : {w.mnuFile, w.mnuOptions, w.mnuHelp}) EXPECT_FALSE(m->menuAction()->isEnabled());
  // The service monitor keeps ticking during a run and touches none of these.
  tick(1);
  EXPECT_FALSE(w.cmdLoad->isEnabled());

  setControlsManualProcessStopped(w);
  for (QWidget* c : std::initializer_list<QWidget*>{
           w.cmbRetention, w.cmdBrowseForLog, w.cmdBrowseForOutputLocation, w.txtLogLocation, w.txtOutputPath,
           w.cmdLoad, w.cmdDumpCsv, w.cmdExit, w.cmdSaveCallsGrid, w.cmdSaveErrorsGrid, w.cmdViewPerLine,
           w.cmdViewPerOctel, w.dtpStartRange, w.dtpEndRange})
    EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();
  EXPECT_FALSE(w.cmdViewCallDetail->isEnabled());
  EXPECT_FALSE(w.cmdViewTasks->isEnabled());
  EXPECT_FALSE(w.flxCalls->isHidden());
  EXPECT_FALSE(w.flxErrors->isHidden());
  for (QMenu* m : {w.mnuFile, w.mnuOptions, w.mnuHelp}) EXPECT_TRUE(m->menuAction()->isEnabled());
}

TEST_F(ControlStateTest, AFolderPickerDisablesTheOtherFramesUntilItCloses) {
  FrmMain& w = frmMain();
  setControlsBrowseOn(w);
  for (QGroupBox* f : {w.frmService, w.frmProcess, w.frmGeneral, w.frmSelection, w.frmDataRange})
    EXPECT_FALSE(f->isEnabled()) << f->objectName().toStdString();
  EXPECT_TRUE(w.frmFileLocations->isEnabled());
  setControlsBrowseOff(w);
  for (QGroupBox* f : {w.frmService, w.frmProcess, w.frmGeneral, w.frmSelection, w.frmDataRange})
    EXPECT_TRUE(f->isEnabled()) << f->objectName().toStdString();
}

}  // namespace
}  // namespace travik
