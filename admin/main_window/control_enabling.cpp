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
#include <initializer_list>

#include "admin/main_window/frm_main.h"
#include "processing/runtime/error_handling.h"

namespace travik {

namespace {

void enable(std::initializer_list<QWidget*> controls, bool on) {
  for (QWidget* control : controls) control->setEnabled(on);
}

// The interval and test-call controls of the service frame.
void enableServiceSettings(FrmMain& w, bool on) {
  enable({w.lblInterval1, w.lblInterval2, w.lblTestInterval1, w.lblTestInterval2, w.cmbInterval, w.cmbTestInterval,
          w.chkTestCalls},
         on);
}

void enableServiceButtons(FrmMain& w, bool install, bool uninstall, bool start, bool stop) {
  w.cmdInstallService->setEnabled(install);
  w.cmdUninstallService->setEnabled(uninstall);
  w.cmdStartService->setEnabled(start);
  w.cmdStopService->setEnabled(stop);
}

void setFileLocations(FrmMain& w, bool on) {
  w.frmFileLocations->setEnabled(on);
  w.frmFileLocations->setTitle(QString::fromUtf8(on ? kFileLocationsCaption : kFileLocationsLockedCaption));
}

// One procedure: its own settings under its own trap, then the gateway's.
template <class Settings>
void applyControlState(FrmMain& window, const char* procedure, Settings&& settings) {
  guard(window.program(), procedure, [&] { settings(window); });
  if (window.program().gatewayNotInstalled) setControlsNonVarnelServer(window);
}

void setManualProcess(FrmMain& w, bool stopped) {
  w.cmbRetention->setEnabled(stopped);
  enable({w.cmdBrowseForLog, w.cmdBrowseForOutputLocation, w.txtLogLocation, w.txtOutputPath}, stopped);
  enable({w.cmdLoad, w.cmdDumpCsv, w.cmdExit}, stopped);
  enable({w.cmdSaveCallsGrid, w.cmdSaveErrorsGrid, w.cmdViewPerLine, w.cmdViewPerOctel}, stopped);
  // The two buttons of one call wait for a call to be chosen again.
  enable({w.cmdViewCallDetail, w.cmdViewTasks}, false);
  enable({w.dtpStartRange, w.dtpEndRange}, stopped);
  w.flxCalls->setVisible(stopped);
  w.flxErrors->setVisible(stopped);
  for (QMenu* menu : {w.mnuFile, w.mnuOptions, w.mnuHelp}) menu->menuAction()->setEnabled(stopped);
}

}  // namespace

void setControlsBrowseOn(FrmMain& window) {
  applyControlState(window, "setControlsBrowseOn()", [](FrmMain& w) {
    w.frmService->setEnabled(false);
    enable({w.frmProcess, w.frmGeneral, w.frmSelection, w.frmDataRange}, false);
  });
}

void setControlsBrowseOff(FrmMain& window) {
  applyControlState(window, "setControlsBrowseOff()", [](FrmMain& w) {
    w.frmService->setEnabled(true);
    enable({w.frmProcess, w.frmGeneral, w.frmSelection, w.frmDataRange}, true);
  });
}

void setControlsServiceInstalledStarted(FrmMain& window) {
  applyControlState(window, "setControlsServiceInstalledStarted()", [](FrmMain& w) {
    enableServiceButtons(w, false, false, false, true);
    enableServiceSettings(w, false);
    setFileLocations(w, false);
  });
}

void setControlsServiceInstalledStopped(FrmMain& window) {
  applyControlState(window, "setControlsServiceInstalledStopped()", [](FrmMain& w) {
    enableServiceButtons(w, false, true, true, false);
    enableServiceSettings(w, true);
    setFileLocations(w, true);
  });
}

void setControlsServiceUninstalled(FrmMain& window) {
  applyControlState(window, "setControlsServiceUninstalled()", [](FrmMain& w) {
    enableServiceButtons(w, true, false, false, false);
    enableServiceSettings(w, false);
    setFileLocations(w, true);
  });
}

void setControlsManualProcessRunning(FrmMain& window) {
  applyControlState(window, "setControlsManualProcessRunning()", [](FrmMain& w) { setManualProcess(w, false); });
}

void setControlsManualProcessStopped(FrmMain& window) {
  applyControlState(window, "setControlsManualProcessStopped()", [](FrmMain& w) { setManualProcess(w, true); });
}

void setControlsNonVarnelServer(FrmMain& w) {
  guard(w.program(), "setControlsNonVarnelServer()", [&] {
    w.frmService->setVisible(false);
    w.frmService->setEnabled(false);
    w.mnuOptionsTestCalls->setEnabled(false);
    w.mnuOptionsEventViewer->setEnabled(false);
  });
}

// The states other windows set, through MainWindow.
void FrmMain::setControlsBrowseOn() { travik::setControlsBrowseOn(*this); }
void FrmMain::setControlsBrowseOff() { travik::setControlsBrowseOff(*this); }
void FrmMain::setControlsServiceInstalledStarted() { travik::setControlsServiceInstalledStarted(*this); }
void FrmMain::setControlsServiceInstalledStopped() { travik::setControlsServiceInstalledStopped(*this); }
void FrmMain::setControlsServiceUninstalled() { travik::setControlsServiceUninstalled(*this); }

}  // namespace travik
