#include "admin/main_window/frm_main.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <cmath>

#include "admin/console/console.h"
#include "admin/console/update_check.h"
#include "admin/console/window_opener.h"
#include "admin/models/grid_records.h"
#include "admin/widgets/controls.h"
#include "admin/widgets/date_picker.h"
#include "admin/widgets/key_codes.h"
#include "admin/widgets/settings_input.h"
#include "admin/widgets/window_geometry.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/read_only_mode.h"
#include "processing/runtime/start_up.h"

namespace travik {

namespace {

QDateTimeEdit* datePicker(QWidget* parent, const char* name) {
  auto* picker = named(new DatePicker(parent), name);
  // Month/day/full year, 12-hour time with AM/PM.
  picker->setDisplayFormat(QStringLiteral("MM/dd/yyyy hh:mm:ss AP"));
  picker->setCalendarPopup(true);
  return picker;
}

QTableView* grid(QWidget* parent, const char* name) {
  auto* view = named(new QTableView(parent), name);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  return view;
}

// A number of the settings as the boxes show it: whole, or with its decimals.
QString decimalText(double value) { return QString::number(value, 'g', 15); }

QDateTime toQDateTime(const DateTime& value) {
  return QDateTime(QDate(value.year(), value.month(), value.day()),
                   QTime(value.hour(), value.minute(), value.second()));
}

}  // namespace

FrmMain::FrmMain(Console& console) : console_(console) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QString::fromUtf8(kProductFullName));
  createControls();
  createMenus();
  connectHandlers();
  resizeMinimumClientInTwips(*this, kMinimumWindowWidthTwips, kMinimumWindowHeightTwips);
}

FrmMain::~FrmMain() = default;

Program& FrmMain::program() const { return console_.program; }

void FrmMain::createControls() {
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("frmMainClient"));
  setCentralWidget(client);

  frmFileLocations = makeFrame(client, "frmFileLocations", "File Locations");
  placeInTwips(frmFileLocations, 60, 60, 5900, 1140);
  lblLogLocation = makeLabel(frmFileLocations, "lblLogLocation", "Log &Location:");
  placeInTwips(lblLogLocation, 120, 330, 1300, 255);
  txtLogLocation = named(new QLineEdit(frmFileLocations), "txtLogLocation");
  placeInTwips(txtLogLocation, 1440, 300, 3300, 315);
  lblLogLocation->setBuddy(txtLogLocation);
  cmdBrowseForLog = makeButton(frmFileLocations, "cmdBrowseForLog", "&Browse");
  placeInTwips(cmdBrowseForLog, 4800, 285, 990, 345);
  lblOutputPath = makeLabel(frmFileLocations, "lblOutputPath", "&Output folder:");
  placeInTwips(lblOutputPath, 120, 750, 1300, 255);
  txtOutputPath = named(new QLineEdit(frmFileLocations), "txtOutputPath");
  placeInTwips(txtOutputPath, 1440, 720, 3300, 315);
  lblOutputPath->setBuddy(txtOutputPath);
  cmdBrowseForOutputLocation = makeButton(frmFileLocations, "cmdBrowseForOutputLocation", "Brows&e");
  placeInTwips(cmdBrowseForOutputLocation, 4800, 705, 990, 345);

  frmGeneral = makeFrame(client, "frmGeneral", "Database retention");
  placeInTwips(frmGeneral, 60, 1230, 5900, 630);
  lblRetention1 = makeLabel(frmGeneral, "lblRetention1", "Hours of data to retain in the database:");
  placeInTwips(lblRetention1, 120, 300, 3600, 255);
  const QStringList hours = {"1", "2", "3", "4", "6", "8", "12", "24", "48", "72", "96", "120"};
  cmbRetention = makeComboBox(frmGeneral, "cmbRetention", hours);
  placeInTwips(cmbRetention, 3840, 240, 1100, 330);

  frmService = makeFrame(client, "frmService", "Service");
  placeInTwips(frmService, 6020, 60, 5920, 1800);
  lblInterval1 = makeLabel(frmService, "lblInterval1", "Process call activity data every");
  placeInTwips(lblInterval1, 120, 330, 2800, 255);
  cmbInterval =
      makeComboBox(frmService, "cmbInterval", {"15", "30", "45", "60", "90", "120", "180", "360", "720", "1440"});
  placeInTwips(cmbInterval, 2940, 270, 1100, 330);
  lblInterval2 = makeLabel(frmService, "lblInterval2", "minutes.");
  placeInTwips(lblInterval2, 4100, 330, 1000, 255);
  chkTestCalls = named(new QCheckBox(QStringLiteral("Automatically place test call to each Octel node,"), frmService),
                       "chkTestCalls");
  placeInTwips(chkTestCalls, 120, 690, 5000, 285);
  lblTestInterval1 = makeLabel(frmService, "lblTestInterval1", "every");
  placeInTwips(lblTestInterval1, 420, 1050, 600, 255);
  cmbTestInterval = makeComboBox(frmService, "cmbTestInterval", hours);
  placeInTwips(cmbTestInterval, 1020, 990, 1100, 330);
  lblTestInterval2 = makeLabel(frmService, "lblTestInterval2", "hours.");
  placeInTwips(lblTestInterval2, 2180, 1050, 1000, 255);
  cmdInstallService = makeButton(frmService, "cmdInstallService", "&Install Service");
  placeInTwips(cmdInstallService, 120, 1380, 1380, 345);
  cmdUninstallService = makeButton(frmService, "cmdUninstallService", "&Uninstall Service");
  placeInTwips(cmdUninstallService, 1560, 1380, 1380, 345);
  cmdStartService = makeButton(frmService, "cmdStartService", "&Start Service");
  placeInTwips(cmdStartService, 3000, 1380, 1380, 345);
  cmdStopService = makeButton(frmService, "cmdStopService", "Stop Servi&ce");
  placeInTwips(cmdStopService, 4440, 1380, 1380, 345);

  frmDataRange = makeFrame(client, "frmDataRange", "Filter Call and Error grids");
  placeInTwips(frmDataRange, 60, 1920, 11880, 660);
  lblRange1 = makeLabel(frmDataRange, "lblRange1", "Display data for calls initiated after");
  placeInTwips(lblRange1, 120, 300, 2700, 255);
  dtpStartRange = datePicker(frmDataRange, "dtpStartRange");
  placeInTwips(dtpStartRange, 2820, 240, 2400, 330);
  lblRange2 = makeLabel(frmDataRange, "lblRange2", "and ending before");
  placeInTwips(lblRange2, 5300, 300, 1300, 255);
  dtpEndRange = datePicker(frmDataRange, "dtpEndRange");
  placeInTwips(dtpEndRange, 6600, 240, 2400, 330);
  cmdUpdateGridFilters = makeButton(frmDataRange, "cmdUpdateGridFilters", "Appl&y");
  placeInTwips(cmdUpdateGridFilters, 9150, 225, 1250, 360);
  cmdShowAll = makeButton(frmDataRange, "cmdShowAll", "Sho&w All");
  placeInTwips(cmdShowAll, 10500, 225, 1250, 360);

  frmProcess = makeFrame(client, "frmProcess", "Process");
  placeInTwips(frmProcess, 60, 2640, 10500, 840);
  cmdLoad = makeButton(frmProcess, "cmdLoad", "Process Call Dat&a");
  placeInTwips(cmdLoad, 120, 270, 1800, 435);
  cmdDumpCsv = makeButton(frmProcess, "cmdDumpCsv", "Dump data to CS&V");
  placeInTwips(cmdDumpCsv, 2000, 270, 1800, 435);
  txtProgress = named(new QLineEdit(frmProcess), "txtProgress");
  txtProgress->setReadOnly(true);
  txtProgress->setFocusPolicy(Qt::NoFocus);
  placeInTwips(txtProgress, 3900, 225, 6480, 300);
  ProgressBar = named(new QProgressBar(frmProcess), "ProgressBar");
  ProgressBar->setTextVisible(false);
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  placeInTwips(ProgressBar, 3900, 570, 6480, 195);

  cmdExit = makeButton(client, "cmdExit", "E&xit");
  placeInTwips(cmdExit, 10680, 2760, 1260, 600);

  frmSelection = makeFrame(client, "frmSelection", "Selection");
  placeInTwips(frmSelection, 60, 3540, 11880, 4000);
  lblCalls = makeLabel(frmSelection, "lblCalls", "Calls");
  placeInTwips(lblCalls, 120, 210, 600, 255);
  cmdViewCallDetail = makeButton(frmSelection, "cmdViewCallDetail", "View Call Detail fo&r selected call");
  placeInTwips(cmdViewCallDetail, 800, 135, 2900, 315);
  cmdViewTasks = makeButton(frmSelection, "cmdViewTasks", "View Tas&ks for selected call");
  placeInTwips(cmdViewTasks, 3780, 135, 2500, 315);
  cmdViewPerLine = makeButton(frmSelection, "cmdViewPerLine", "View Line &totals");
  placeInTwips(cmdViewPerLine, 6360, 135, 1700, 315);
  cmdViewPerOctel = makeButton(frmSelection, "cmdViewPerOctel", "View &Node totals");
  placeInTwips(cmdViewPerOctel, 8140, 135, 1700, 315);
  cmdSaveCallsGrid = makeButton(frmSelection, "cmdSaveCallsGrid", "Save to file");
  placeInTwips(cmdSaveCallsGrid, 10400, 135, 1300, 315);
  flxCalls = grid(frmSelection, "flxCalls");
  placeInTwips(flxCalls, 120, 480, 11460, 1000);
  lblErrors = makeLabel(frmSelection, "lblErrors", "Errors");
  placeInTwips(lblErrors, 120, 1780, 600, 240);
  cmdSaveErrorsGrid = makeButton(frmSelection, "cmdSaveErrorsGrid", "Save to file");
  placeInTwips(cmdSaveErrorsGrid, 10400, 1780, 1300, 285);
  flxErrors = grid(frmSelection, "flxErrors");
  placeInTwips(flxErrors, 120, 2080, 11460, 1000);
}

void FrmMain::createMenus() {
  auto item = [this](QMenu* menu, const char* name, const char* caption) {
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(QString::fromLatin1(name));
    return action;
  };
  mnuFile = named(menuBar()->addMenu(QStringLiteral("&File")), "mnuFile");
  mnuFileExit = item(mnuFile, "mnuFileExit", "Exit");
  mnuOptions = named(menuBar()->addMenu(QStringLiteral("O&ptions")), "mnuOptions");
  mnuOptionsEventViewer = item(mnuOptions, "mnuOptionsEventViewer", "Event Viewer Notification");
  mnuOptionsTestCalls = item(mnuOptions, "mnuOptionsTestCalls", "Test Calls");
  mnuOptionsResetErrorCounts = item(mnuOptions, "mnuOptionsResetErrorCounts", "Reset communication error counts");
  mnuOptionsPurgeEventData = item(mnuOptions, "mnuOptionsPurgeEventData", "Purge Event Data");
  mnuHelp = named(menuBar()->addMenu(QStringLiteral("&Help")), "mnuHelp");
  mnuHelpViewHelp = item(mnuHelp, "mnuHelpViewHelp", "&View Help");
  mnuHelpCheckForUpdatedVersion = item(mnuHelp, "mnuHelpCheckForUpdatedVersion", "&Check for updated version");
  mnuHelpAbout = item(mnuHelp, "mnuHelpAbout", "&About");
}

void FrmMain::connectHandlers() {
  auto onClick = [this](QPushButton* control, void (FrmMain::*handler)()) {
    connect(control, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
  };
  auto onMenu = [this](QAction* action, void (FrmMain::*handler)()) {
    connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
  };
  onClick(cmdExit, &FrmMain::cmdExit_Click);
  onClick(cmdUpdateGridFilters, &FrmMain::cmdUpdateGridFilters_Click);
  onClick(cmdShowAll, &FrmMain::cmdShowAll_Click);
  onClick(cmdInstallService, &FrmMain::cmdInstallService_Click);
  onClick(cmdUninstallService, &FrmMain::cmdUninstallService_Click);
  onClick(cmdStartService, &FrmMain::cmdStartService_Click);
  onClick(cmdStopService, &FrmMain::cmdStopService_Click);
  onClick(cmdSaveCallsGrid, &FrmMain::cmdSaveCallsGrid_Click);
  onClick(cmdSaveErrorsGrid, &FrmMain::cmdSaveErrorsGrid_Click);
  onClick(cmdViewCallDetail, &FrmMain::cmdViewCallDetail_Click);
  onClick(cmdViewTasks, &FrmMain::cmdViewTasks_Click);
  // Both act on the chosen call; none is chosen yet.
  cmdViewCallDetail->setEnabled(false);
  cmdViewTasks->setEnabled(false);
  onClick(cmdViewPerLine, &FrmMain::cmdViewPerLine_Click);
  onClick(cmdViewPerOctel, &FrmMain::cmdViewPerOctel_Click);
  onClick(cmdBrowseForLog, &FrmMain::cmdBrowseForLog_Click);
  onClick(cmdBrowseForOutputLocation, &FrmMain::cmdBrowseForOutputLocation_Click);
  onClick(cmdLoad, &FrmMain::cmdLoad_Click);
  onClick(cmdDumpCsv, &FrmMain::cmdDumpCsv_Click);
  onMenu(mnuFileExit, &FrmMain::mnuFileExit_Click);
  onMenu(mnuOptionsEventViewer, &FrmMain::mnuOptionsEventViewer_Click);
  onMenu(mnuOptionsTestCalls, &FrmMain::mnuOptionsTestCalls_Click);
  onMenu(mnuOptionsResetErrorCounts, &FrmMain::mnuOptionsResetErrorCounts_Click);
  onMenu(mnuOptionsPurgeEventData, &FrmMain::mnuOptionsPurgeEventData_Click);
  onMenu(mnuHelpViewHelp, &FrmMain::mnuHelpViewHelp_Click);
  onMenu(mnuHelpCheckForUpdatedVersion, &FrmMain::mnuHelpCheckForUpdatedVersion_Click);
  onMenu(mnuHelpAbout, &FrmMain::mnuHelpAbout_Click);

  // Typed edits only: the folder is stored when the typing ends.
  connect(txtLogLocation, &QLineEdit::textEdited, this, [this] { txtLogLocation_Change(); });
  // The original's Click event fires for changes made by code too.
  connect(chkTestCalls, &QCheckBox::stateChanged, this, [this] { chkTestCalls_Click(); });
  connect(flxCalls, &QTableView::clicked, this, [this] { flxCalls_Click(); });
  connect(flxErrors, &QTableView::clicked, this, [this] { flxErrors_Click(); });

  for (QWidget* watched : std::initializer_list<QWidget*>{cmbInterval, cmbTestInterval, cmbRetention, txtLogLocation,
                                                          txtOutputPath, flxCalls, flxErrors})
    watched->installEventFilter(this);
}

// Key presses and focus losses of the watched controls go to their handlers.
// A key press handler that sets the code to 0 drops the key.
bool FrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const QKeyEvent& key = *static_cast<QKeyEvent*>(event);
    const bool numericBox = watched == cmbInterval || watched == cmbTestInterval || watched == cmbRetention;
    if (numericBox && !reachesKeyFilter(key)) return QMainWindow::eventFilter(watched, event);
    int keyAscii = keyAsciiOf(key);
    if (keyAscii < 0) return QMainWindow::eventFilter(watched, event);
    if (watched == cmbInterval)
      cmbInterval_KeyPress(keyAscii);
    else if (watched == cmbTestInterval)
      cmbTestInterval_KeyPress(keyAscii);
    else if (watched == cmbRetention)
      cmbRetention_KeyPress(keyAscii);
    else if (watched == txtLogLocation)
      txtLogLocation_KeyPress(keyAscii);
    else if (watched == txtOutputPath)
      txtOutputPath_KeyPress(keyAscii);
    else if (watched == flxCalls)
      flxCalls_KeyPress(keyAscii);
    else if (watched == flxErrors)
      flxErrors_KeyPress(keyAscii);
    if (keyAscii == 0) return true;
  } else if (event->type() == QEvent::FocusOut) {
    // Focus moving to another window (a message box, another program) is no
    // lost focus of the control, as on the original platform.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      if (watched == cmbInterval)
        cmbInterval_LostFocus();
      else if (watched == cmbTestInterval)
        cmbTestInterval_LostFocus();
      else if (watched == cmbRetention)
        cmbRetention_LostFocus();
      else if (watched == txtLogLocation)
        txtLogLocation_LostFocus();
      else if (watched == txtOutputPath)
        txtOutputPath_LostFocus();
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void FrmMain::formLoad() {
  Program& p = program();
  const DateTime now = p.host.now();
  shownRangeStart = errorsRangeStart = now.addHours(-24);
  shownRangeEnd = errorsRangeEnd = now;
  dtpStartRange->setDateTime(toQDateTime(shownRangeStart));
  dtpEndRange->setDateTime(toQDateTime(shownRangeEnd));

  if (folderExists(p.settings.logPath)) txtLogLocation->setText(QString::fromStdString(p.settings.logPath));
  if (folderExists(p.settings.outputPath)) txtOutputPath->setText(QString::fromStdString(p.settings.outputPath));
  cmbInterval->setEditText(decimalText(p.settings.processIntervalSeconds / 60.0));
  if (p.settings.autoTest) chkTestCalls->setChecked(true);
  cmbTestInterval->setEditText(decimalText(p.settings.testCallIntervalMinutes / 60.0));
  cmbRetention->setEditText(QString::number(p.settings.dataRetentionHours));
  showVrndataAll();
}

void FrmMain::formResize() {
  if (isMinimized()) return;
  trap("Form_Resize of Form frmMain", ErrorHandler::BoxAndCount, [&] {
    const QSize client = keepMinimumClientSize(*this, kMinimumWindowWidthTwips, kMinimumWindowHeightTwips);
    const TwipScale scale = twipScale(*this);
    const int selectionHeight = client.height() - 4020;
    const int selectionWidth = client.width() - 100;
    frmSelection->resize(scale.x(selectionWidth), scale.y(selectionHeight));
    const int gridHeight = (selectionHeight - 1400) / 2;
    const int gridWidth = selectionWidth - 420;
    flxCalls->resize(scale.x(gridWidth), scale.y(gridHeight));
    flxErrors->resize(scale.x(gridWidth), scale.y(gridHeight));
    const int errorsTop = gridHeight + 780;
    lblErrors->move(lblErrors->x(), scale.y(errorsTop));
    cmdSaveErrorsGrid->move(cmdSaveErrorsGrid->x(), scale.y(errorsTop));
    flxErrors->move(flxErrors->x(), scale.y(gridHeight + scale.twipsY(lblErrors->height()) + 840));
  });
}

void FrmMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  formResize();
}

void FrmMain::closeEvent(QCloseEvent* event) {
  event->ignore();
  formUnload();
}

void FrmMain::formUnload() { shutDownApplication(program(), exit_status::kOrderly); }

void FrmMain::cmdExit_Click() { shutDownApplication(program(), exit_status::kOrderly); }

void FrmMain::mnuFileExit_Click() { shutDownApplication(program(), exit_status::kOrderly); }

void FrmMain::mnuOptionsEventViewer_Click() {
  if (refuseWhileDatabaseReadOnly(program())) return;
  console_.windows.openEventViewer();
}

void FrmMain::mnuOptionsTestCalls_Click() {
  if (refuseWhileDatabaseReadOnly(program())) return;
  console_.windows.openTestCalls();
}

void FrmMain::mnuOptionsResetErrorCounts_Click() {
  if (refuseWhileDatabaseReadOnly(program())) return;
  console_.windows.openResetErrorCounts();
}

void FrmMain::mnuHelpViewHelp_Click() { console_.windows.openHelp(); }

void FrmMain::mnuHelpCheckForUpdatedVersion_Click() { checkForUpdatedVersion(console_); }

void FrmMain::mnuHelpAbout_Click() { console_.windows.openAbout(); }

}  // namespace travik
