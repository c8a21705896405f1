#include "admin/windows/frm_event_viewer.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "admin/console/console.h"
#include "admin/console/main_window.h"
#include "admin/console/window_opener.h"
#include "admin/models/node_lists.h"
#include "admin/widgets/controls.h"
#include "admin/widgets/key_codes.h"
#include "admin/widgets/settings_input.h"
#include "admin/widgets/window_geometry.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/error_handling.h"

namespace travik {

namespace {

constexpr const char* kUpdateEVForm = "updateEVForm() of Form frmEventViewer";
constexpr const char* kSaveEVUpdates = "saveEVUpdates() of Form frmEventViewer";

constexpr int kMinimumWidthTwips = 9465;
constexpr int kMinimumHeightTwips = 5070;
constexpr int kMaximumThreshold = 99;
constexpr int kMaximumErrorIntervalHours = 336;

constexpr const char* kExplanation =
    "Octel Nodes for the serial numbers listed below are configured on the Varnel server.  Those displayed in the "
    "left panel will have the applicable Warning or Error message generated in the Windows Event Viewer if "
    "communication errors for this node meet or exceeed the configured threshold each time TRAVIK processes call "
    "data.";

}  // namespace

FrmEventViewer::FrmEventViewer(Console& console) : console_(console) {
  setObjectName(QStringLiteral("frmEventViewer"));
  setWindowTitle(QStringLiteral("Event Viewer Notification"));
  setWindowFlags(Qt::Window);

  frmEventViewerThresholds = new QGroupBox(QStringLiteral("Configure Thresholds"), this);
  frmEventViewerThresholds->setObjectName(QStringLiteral("frmEventViewerThresholds"));
  placeInTwips(frmEventViewerThresholds, 60, 60, 9195, 795);
  const QStringList oneToNine = {"1", "2", "3", "4", "5", "6", "7", "8", "9"};
  lblWarningThreshold1 = makeLabel(frmEventViewerThresholds, "lblWarningThreshold1", "Generate Warning at");
  placeInTwips(lblWarningThreshold1, 120, 360, 1515, 195);
  cmbWarningThreshold = makeComboBox(frmEventViewerThresholds, "cmbWarningThreshold", oneToNine);
  placeInTwips(cmbWarningThreshold, 1680, 300, 795, 315);
  lblErrorThreshold1 = makeLabel(frmEventViewerThresholds, "lblErrorThreshold1", ", Error at");
  placeInTwips(lblErrorThreshold1, 2520, 360, 615, 195);
  cmbErrorThreshold = makeComboBox(frmEventViewerThresholds, "cmbErrorThreshold", oneToNine);
  placeInTwips(cmbErrorThreshold, 3180, 300, 795, 315);
  lblErrorInterval1 =
      makeLabel(frmEventViewerThresholds, "lblErrorInterval1", "occurrences per Octel node within most recent");
  placeInTwips(lblErrorInterval1, 4020, 360, 3315, 195);
  cmbErrorInterval =
      makeComboBox(frmEventViewerThresholds, "cmbErrorInterval", {"1", "2", "3", "4", "6", "8", "12", "24", "48"});
  placeInTwips(cmbErrorInterval, 7380, 300, 795, 315);
  lblErrorInterval2 = makeLabel(frmEventViewerThresholds, "lblErrorInterval2", "hour period.");
  placeInTwips(lblErrorInterval2, 8220, 360, 855, 195);

  frmEV = new QGroupBox(QStringLiteral("Configure list of Octel Nodes"), this);
  frmEV->setObjectName(QStringLiteral("frmEV"));
  placeInTwips(frmEV, 60, 960, 6915, 3615);
  lblEV = makeLabel(frmEV, "lblEV", kExplanation);
  lblEV->setWordWrap(true);
  placeInTwips(lblEV, 240, 360, 6495, 795);
  lstInclude = createNodeList(frmEV, "lstInclude", "Include Node Serial Numbers");
  placeInTwips(lstInclude, 240, 1320, 2700, 2115);
  cmdExclude = makeButton(frmEV, "cmdExclude", ">");
  placeInTwips(cmdExclude, 3060, 1440, 735, 375);
  cmdExcludeAll = makeButton(frmEV, "cmdExcludeAll", ">>");
  placeInTwips(cmdExcludeAll, 3060, 1920, 735, 375);
  cmdInclude = makeButton(frmEV, "cmdInclude", "<");
  placeInTwips(cmdInclude, 3060, 2520, 735, 375);
  cmdIncludeAll = makeButton(frmEV, "cmdIncludeAll", "<<");
  placeInTwips(cmdIncludeAll, 3060, 3000, 735, 375);
  lstExclude = createNodeList(frmEV, "lstExclude", "Exclude Node Serial Numbers");
  placeInTwips(lstExclude, 3960, 1320, 2700, 2115);
  cmdEVSave = makeButton(this, "cmdEVSave", "Sa&ve List");
  placeInTwips(cmdEVSave, 7380, 3000, 1575, 405);
  cmdCancel = makeButton(this, "cmdCancel", "&Close");
  placeInTwips(cmdCancel, 7380, 3480, 1575, 405);
  cmdExit = makeButton(this, "cmdExit", "Save and E&xit");
  placeInTwips(cmdExit, 7380, 3960, 1575, 405);
  resizeClientInTwips(*this, 9345, 4665);

  lists_ = new NodeListPair(lstInclude, lstExclude, cmdExclude, cmdInclude, cmdExcludeAll, cmdIncludeAll, this);
  connect(cmdEVSave, &QPushButton::clicked, this, [this] { cmdEVSave_Click(); });
  connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
  closeOnEscape(*cmdCancel);
  for (QComboBox* box : {cmbWarningThreshold, cmbErrorThreshold, cmbErrorInterval}) box->installEventFilter(this);

  formLoad();
}

// The boxes are set from the settings once, when the window is created; they
// keep their texts between openings.  The lists are filled by every opening
// from the menu (updateEVForm), which follows the creation at once; filling
// them here too would ask the gateway twice and report a missing gateway twice.
void FrmEventViewer::formLoad() { showStoredThresholds(); }

void FrmEventViewer::showStoredThresholds() {
  const Settings& settings = console_.program.settings;
  cmbWarningThreshold->setEditText(QString::number(settings.warningThreshold));
  cmbErrorThreshold->setEditText(QString::number(settings.errorThreshold));
  cmbErrorInterval->setEditText(QString::number(settings.errorIntervalHours));
}

void FrmEventViewer::updateEVForm() {
  fillNodeLists(console_.program, kUpdateEVForm, ExclusionTable::EventViewer, *lstInclude, *lstExclude, kUnknownNode);
}

bool FrmEventViewer::saveEVUpdates() {
  setCursor(Qt::WaitCursor);
  const bool saved =
      rewriteExclusionTable(console_.program, kSaveEVUpdates, ExclusionTable::EventViewer, nodesOf(*lstExclude));
  unsetCursor();
  return saved;
}

void FrmEventViewer::cmdEVSave_Click() { saveEVUpdates(); }

// A save that failed keeps the window open with the operator's moves.
void FrmEventViewer::cmdExit_Click() {
  if (!saveEVUpdates()) return;
  hide();
  returnToMainWindow();
}

void FrmEventViewer::cmdCancel_Click() {
  hide();
  returnToMainWindow();
}

void FrmEventViewer::returnToMainWindow() {
  MainWindow& main = console_.windows.mainWindow();
  main.activateWindow();
}

// ---- The three settings boxes ----

void FrmEventViewer::thresholdKeyPress(QComboBox& box, int& keyAscii) {
  keyAscii = console_.windows.mainWindow().numericBoxInput(box, keyAscii);
}

void FrmEventViewer::cmbWarningThreshold_KeyPress(int& keyAscii) { thresholdKeyPress(*cmbWarningThreshold, keyAscii); }
void FrmEventViewer::cmbErrorThreshold_KeyPress(int& keyAscii) { thresholdKeyPress(*cmbErrorThreshold, keyAscii); }
void FrmEventViewer::cmbErrorInterval_KeyPress(int& keyAscii) { thresholdKeyPress(*cmbErrorInterval, keyAscii); }

// Stored as typed (007 stays 007 in the table; the setting reads 7).  The
// two thresholds are not compared with each other.  A value that was not
// stored gives way to the ones in force.
void FrmEventViewer::thresholdLostFocus(QComboBox& box, int parameterIndex, int currentSetting, int upperLimit) {
  Program& program = console_.program;
  if (box.currentText().isEmpty()) box.setEditText(QString::number(currentSetting));
  const std::string text = box.currentText().toStdString();
  if (!acceptInRange(program, box, text, 1, upperLimit)) return;
  if (!setApplicationParameter(program, parameterIndex, text)) showStoredThresholds();
}

void FrmEventViewer::cmbWarningThreshold_LostFocus() {
  thresholdLostFocus(*cmbWarningThreshold, parameter::kWarningThreshold, console_.program.settings.warningThreshold,
                     kMaximumThreshold);
}

void FrmEventViewer::cmbErrorThreshold_LostFocus() {
  thresholdLostFocus(*cmbErrorThreshold, parameter::kErrorThreshold, console_.program.settings.errorThreshold,
                     kMaximumThreshold);
}

void FrmEventViewer::cmbErrorInterval_LostFocus() {
  thresholdLostFocus(*cmbErrorInterval, parameter::kErrorIntervalInHours, console_.program.settings.errorIntervalHours,
                     kMaximumErrorIntervalHours);
}

bool FrmEventViewer::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const QKeyEvent& key = *static_cast<QKeyEvent*>(event);
    if (!reachesKeyFilter(key)) return QWidget::eventFilter(watched, event);
    int keyAscii = keyAsciiOf(key);
    if (keyAscii < 0) return QWidget::eventFilter(watched, event);
    if (watched == cmbWarningThreshold)
      cmbWarningThreshold_KeyPress(keyAscii);
    else if (watched == cmbErrorThreshold)
      cmbErrorThreshold_KeyPress(keyAscii);
    else if (watched == cmbErrorInterval)
      cmbErrorInterval_KeyPress(keyAscii);
    if (keyAscii == 0) return true;
  } else if (event->type() == QEvent::FocusOut) {
    // Focus going to another window (a message box) is no loss of focus of the box.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      if (watched == cmbWarningThreshold)
        cmbWarningThreshold_LostFocus();
      else if (watched == cmbErrorThreshold)
        cmbErrorThreshold_LostFocus();
      else if (watched == cmbErrorInterval)
        cmbErrorInterval_LostFocus();
    }
  }
  return QWidget::eventFilter(watched, event);
}

void FrmEventViewer::formResize() {
  if (isMinimized()) return;
  guard(
      console_.program, "Form_Resize of Form frmEventViewer",
      [&] {
        const QSize outer = keepMinimumOuterSize(*this, kMinimumWidthTwips, kMinimumHeightTwips);
        const int frameHeight = outer.height() - 1455;
        const TwipScale scale = twipScale(*this);
        frmEV->resize(frmEV->width(), scale.y(frameHeight));
        const int listHeight = scale.y(frameHeight - 1500);
        lstInclude->resize(lstInclude->width(), listHeight);
        lstExclude->resize(lstExclude->width(), listHeight);
      },
      ErrorHandler::BoxAndCount);
}

void FrmEventViewer::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  formResize();
}

}  // namespace travik
