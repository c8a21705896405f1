// frmMain: the console's main window.
//
// Every control carries its name as objectName, so tests and the other windows
// find it.  The window's handlers are spread over file pairs by the work they
// do; this header declares them all:
//   frm_main.cpp             layout, loading, resizing, the exits, the menus,
//                            the help page and the dispatch of key presses and
//                            focus changes to the handlers below
//   frm_main_settings.cpp    the settings boxes: processing interval, test calls
//                            and their interval, retention, the two folders and
//                            their Browse buttons; numericOnlyInput, outputPathChange
//   frm_main_service.cpp     installing, removing, starting and stopping the service
//   frm_main_processing.cpp  manual processing, the dump to report files, the purge
//   frm_main_grids.cpp       the calls and errors grids, the date filter, the
//                            detail and totals buttons, saving a grid
// The menu items that open other windows do so through the console's
// WindowOpener (admin/console/window_opener.h), which runs those windows' own
// fill steps; the other windows reach this one through MainWindow
// (admin/console/main_window.h), which it implements.
// Which controls can be used is set by control_enabling.h, not here; the
// states other windows set through MainWindow are defined there too.
#pragma once

#include <QMainWindow>
#include <string_view>
#include <utility>

#include "admin/console/main_window.h"
#include "processing/runtime/error_handling.h"
#include "processing/text/date_time.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableView;

namespace travik {

class Console;

// Sizes of the window's design are in twips (admin/widgets/window_geometry.h).
constexpr int kMinimumWindowWidthTwips = 12045;
constexpr int kMinimumWindowHeightTwips = 8895;

class FrmMain : public QMainWindow, public MainWindow {
  Q_OBJECT

 public:
  explicit FrmMain(Console& console);
  ~FrmMain() override;

  Console& console() const { return console_; }
  Program& program() const;

  // ---- Window events (frm_main.cpp) ----
  // Fills the boxes from the settings and both grids; runs before the first show.
  void formLoad();
  void formResize();
  // The close box; like Exit it ends the program in order.
  void formUnload();

  // ---- Exits, help and the menus (frm_main.cpp) ----
  void cmdExit_Click();
  void mnuFileExit_Click();
  void mnuOptionsEventViewer_Click();
  void mnuOptionsTestCalls_Click();
  void mnuOptionsResetErrorCounts_Click();
  void mnuHelpViewHelp_Click();
  void mnuHelpCheckForUpdatedVersion_Click();
  void mnuHelpAbout_Click();

  // ---- Settings (frm_main_settings.cpp) ----
  // Key handlers take the typed character code and set it to 0 to drop the key.
  void cmbInterval_KeyPress(int& keyAscii);
  void cmbInterval_LostFocus();
  void cmbTestInterval_KeyPress(int& keyAscii);
  void cmbTestInterval_LostFocus();
  void cmbRetention_KeyPress(int& keyAscii);
  void cmbRetention_LostFocus();
  void chkTestCalls_Click();
  void txtLogLocation_Change();
  void txtLogLocation_LostFocus();
  void txtLogLocation_KeyPress(int& keyAscii);
  void txtOutputPath_LostFocus();
  void txtOutputPath_KeyPress(int& keyAscii);
  void cmdBrowseForLog_Click();
  void cmdBrowseForOutputLocation_Click();
  // The key filter of the numeric boxes: the code to keep, 0 to drop the key.
  int numericOnlyInput(int keyAscii);
  // A key typed into a numeric box: numericOnlyInput, then 0 once the box
  // holds as many characters as it takes.
  int numericBoxInput(const QComboBox& box, int keyAscii) override;
  // Applies a changed output folder and starts a new activity log.
  void outputPathChange() override;
  void logPathChange() override;
  // Stores one setting.  A console that only reads its database refuses a
  // change, and every settings box shows the stored settings again.
  void storeSetting(int parameterIndex, const std::string& value);

  // ---- Service control (frm_main_service.cpp) ----
  void cmdInstallService_Click();
  void cmdUninstallService_Click();
  void cmdStartService_Click();
  void cmdStopService_Click();

  // ---- Manual processing, dump and purge (frm_main_processing.cpp) ----
  void cmdLoad_Click();
  void cmdDumpCsv_Click();
  void mnuOptionsPurgeEventData_Click();

  // ---- Grids and filters (frm_main_grids.cpp) ----
  // Reloads both grids without a filter and sets the date pickers.
  void showVrndataAll();
  // Reloads both grids for the pickers' range.
  void filterVrndata();
  // Disables the two buttons that act on the chosen call.
  void noCallChosen();
  void cmdShowAll_Click();
  void cmdUpdateGridFilters_Click();
  void flxCalls_Click();
  void flxCalls_KeyPress(int& keyAscii);
  void flxErrors_Click();
  void flxErrors_KeyPress(int& keyAscii);
  void cmdViewCallDetail_Click();
  void cmdViewTasks_Click();
  void cmdViewPerLine_Click();
  void cmdViewPerOctel_Click();
  void cmdSaveCallsGrid_Click();
  void cmdSaveErrorsGrid_Click();

  // ---- What the other windows ask (MainWindow) ----
  QLineEdit& logLocationBox() override { return *txtLogLocation; }
  QLineEdit& outputPathBox() override { return *txtOutputPath; }
  QTableView& callsGrid() override { return *flxCalls; }
  void activateWindow() override { QMainWindow::activateWindow(); }
  // control_enabling.cpp
  void setControlsBrowseOn() override;
  void setControlsBrowseOff() override;
  void setControlsServiceInstalledStarted() override;
  void setControlsServiceInstalledStopped() override;
  void setControlsServiceUninstalled() override;

  // ---- Window state ----
  // Begin times of the first and last stored call, as the pickers were set.
  DateTime shownRangeStart, shownRangeEnd;
  // The span of the calls the last filter showed, for its errors query.
  DateTime errorsRangeStart, errorsRangeEnd;
  // Ctrl+Q in the retention box allows the long retention range.
  bool extendedRetention = false;
  // The trace-folder box was typed in since its text was last stored.
  bool logLocationEdited = false;

  // ---- Controls ----
  QPushButton* cmdExit = nullptr;

  QGroupBox* frmDataRange = nullptr;
  QLabel* lblRange1 = nullptr;
  QDateTimeEdit* dtpStartRange = nullptr;
  QLabel* lblRange2 = nullptr;
  QDateTimeEdit* dtpEndRange = nullptr;
  QPushButton* cmdUpdateGridFilters = nullptr;
  QPushButton* cmdShowAll = nullptr;

  QGroupBox* frmService = nullptr;
  QLabel* lblInterval1 = nullptr;
  QComboBox* cmbInterval = nullptr;
  QLabel* lblInterval2 = nullptr;
  QCheckBox* chkTestCalls = nullptr;
  QLabel* lblTestInterval1 = nullptr;
  QComboBox* cmbTestInterval = nullptr;
  QLabel* lblTestInterval2 = nullptr;
  QPushButton* cmdInstallService = nullptr;
  QPushButton* cmdUninstallService = nullptr;
  QPushButton* cmdStartService = nullptr;
  QPushButton* cmdStopService = nullptr;

  QGroupBox* frmGeneral = nullptr;
  QLabel* lblRetention1 = nullptr;
  QComboBox* cmbRetention = nullptr;

  QGroupBox* frmSelection = nullptr;
  QLabel* lblCalls = nullptr;
  QTableView* flxCalls = nullptr;
  QPushButton* cmdSaveCallsGrid = nullptr;
  QLabel* lblErrors = nullptr;
  QTableView* flxErrors = nullptr;
  QPushButton* cmdSaveErrorsGrid = nullptr;
  QPushButton* cmdViewCallDetail = nullptr;
  QPushButton* cmdViewTasks = nullptr;
  QPushButton* cmdViewPerLine = nullptr;
  QPushButton* cmdViewPerOctel = nullptr;

  QGroupBox* frmFileLocations = nullptr;
  QLabel* lblLogLocation = nullptr;
  QLineEdit* txtLogLocation = nullptr;
  QPushButton* cmdBrowseForLog = nullptr;
  QLabel* lblOutputPath = nullptr;
  QLineEdit* txtOutputPath = nullptr;
  QPushButton* cmdBrowseForOutputLocation = nullptr;

  QGroupBox* frmProcess = nullptr;
  QPushButton* cmdLoad = nullptr;
  QPushButton* cmdDumpCsv = nullptr;
  QLineEdit* txtProgress = nullptr;
  QProgressBar* ProgressBar = nullptr;

  QMenu* mnuFile = nullptr;
  QAction* mnuFileExit = nullptr;
  QMenu* mnuOptions = nullptr;
  QAction* mnuOptionsEventViewer = nullptr;
  QAction* mnuOptionsTestCalls = nullptr;
  QAction* mnuOptionsResetErrorCounts = nullptr;
  QAction* mnuOptionsPurgeEventData = nullptr;
  QMenu* mnuHelp = nullptr;
  QAction* mnuHelpViewHelp = nullptr;
  QAction* mnuHelpCheckForUpdatedVersion = nullptr;
  QAction* mnuHelpAbout = nullptr;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createControls();
  void createMenus();
  void connectHandlers();
  // Runs one handler step with the window's error trap; false when it failed.
  template <class Step>
  bool trap(std::string_view procedure, ErrorHandler handler, Step&& step);

  Console& console_;
};

template <class Step>
bool FrmMain::trap(std::string_view procedure, ErrorHandler handler, Step&& step) {
  return guard(program(), procedure, std::forward<Step>(step), handler);
}

}  // namespace travik
