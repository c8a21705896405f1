#include "admin/windows/frm_test_calls.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "admin/console/console.h"
#include "admin/console/main_window.h"
#include "admin/console/window_opener.h"
#include "admin/models/node_lists.h"
#include "admin/widgets/controls.h"
#include "admin/widgets/window_geometry.h"
#include "processing/gateway/test_calls.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/start_up.h"

namespace travik {

namespace {

constexpr const char* kUpdateTCForm = "updateTCForm() of Form frmTestCalls";
constexpr const char* kSaveTCUpdates = "saveTCUpdates() of Form frmTestCalls";
constexpr const char* kCancelPendingTestCalls = "cmdCancelPendingTestCalls_Click()";

constexpr int kMinimumWidthTwips = 9075;
constexpr int kMinimumHeightTwips = 3750;

constexpr const char* kExplanation =
    "Octel Nodes for the serial numbers listed below are configured on the Varnel server.  Those displayed in the "
    "left panel will be included in the generation of test calls when executed.";

// The pointer of one window, while its work runs.
void setHourglass(QWidget& window, bool on) {
  if (on)
    window.setCursor(Qt::WaitCursor);
  else
    window.unsetCursor();
}

}  // namespace

FrmTestCalls::FrmTestCalls(Console& console) : console_(console) {
  setObjectName(QStringLiteral("frmTestCalls"));
  setWindowTitle(QStringLiteral("Test Calls"));
  setWindowFlags(Qt::Window);

  frmTC = new QGroupBox(QStringLiteral("Configure list of Octel Nodes to call"), this);
  frmTC->setObjectName(QStringLiteral("frmTC"));
  placeInTwips(frmTC, 60, 60, 6915, 3195);
  lblTC = new QLabel(frmTC);
  lblTC->setObjectName(QStringLiteral("lblTC"));
  lblTC->setWordWrap(true);
  placeInTwips(lblTC, 240, 360, 6495, 375);
  lstInclude = createNodeList(frmTC, "lstInclude", "Include Node Serial Numbers");
  placeInTwips(lstInclude, 240, 900, 2700, 2115);
  cmdExclude = makeButton(frmTC, "cmdExclude", ">");
  placeInTwips(cmdExclude, 3060, 1020, 735, 375);
  cmdExcludeAll = makeButton(frmTC, "cmdExcludeAll", ">>");
  placeInTwips(cmdExcludeAll, 3060, 1500, 735, 375);
  cmdInclude = makeButton(frmTC, "cmdInclude", "<");
  placeInTwips(cmdInclude, 3060, 2100, 735, 375);
  cmdIncludeAll = makeButton(frmTC, "cmdIncludeAll", "<<");
  placeInTwips(cmdIncludeAll, 3060, 2580, 735, 375);
  lstExclude = createNodeList(frmTC, "lstExclude", "Exclude Node Serial Numbers");
  placeInTwips(lstExclude, 3960, 900, 2700, 2115);

  frmTCAction = new QGroupBox(QStringLiteral("Action"), this);
  frmTCAction->setObjectName(QStringLiteral("frmTCAction"));
  placeInTwips(frmTCAction, 7080, 60, 1815, 1335);
  cmdInitiateTestCalls = makeButton(frmTCAction, "cmdInitiateTestCalls", "&Place Test Calls");
  placeInTwips(cmdInitiateTestCalls, 120, 300, 1575, 405);
  cmdCancelPendingTestCalls = makeButton(frmTCAction, "cmdCancelPendingTestCalls", "Cancel Test Calls");
  placeInTwips(cmdCancelPendingTestCalls, 120, 780, 1575, 405);
  cmdTCSave = makeButton(this, "cmdTCSave", "Sa&ve List");
  placeInTwips(cmdTCSave, 7200, 1680, 1575, 405);
  cmdCancel = makeButton(this, "cmdCancel", "&Close");
  placeInTwips(cmdCancel, 7200, 2160, 1575, 405);
  cmdExit = makeButton(this, "cmdExit", "Save and E&xit");
  placeInTwips(cmdExit, 7200, 2640, 1575, 405);
  resizeClientInTwips(*this, 8955, 3345);

  lists_ = new NodeListPair(lstInclude, lstExclude, cmdExclude, cmdInclude, cmdExcludeAll, cmdIncludeAll, this);
  connect(cmdTCSave, &QPushButton::clicked, this, [this] { cmdTCSave_Click(); });
  connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
  closeOnEscape(*cmdCancel);
  connect(cmdInitiateTestCalls, &QPushButton::clicked, this, [this] { cmdInitiateTestCalls_Click(); });
  connect(cmdCancelPendingTestCalls, &QPushButton::clicked, this, [this] { cmdCancelPendingTestCalls_Click(); });

  formLoad();
}

// The lists are filled by every opening from the menu (updateTCForm), which
// follows the creation at once; filling them here too would ask the gateway
// twice and report a missing gateway twice.
void FrmTestCalls::formLoad() {
  lblTC->setText(QString::fromUtf8(kExplanation));
  widenToText(lblTC);
}

void FrmTestCalls::updateTCForm() {
  fillNodeLists(console_.program, kUpdateTCForm, ExclusionTable::TestCalls, *lstInclude, *lstExclude);
}

bool FrmTestCalls::saveTCUpdates() {
  setHourglass(*this, true);
  const bool saved =
      rewriteExclusionTable(console_.program, kSaveTCUpdates, ExclusionTable::TestCalls, nodesOf(*lstExclude));
  setHourglass(*this, false);
  return saved;
}

void FrmTestCalls::cmdTCSave_Click() { saveTCUpdates(); }

// A save that failed keeps the window open with the operator's moves.
void FrmTestCalls::cmdExit_Click() {
  if (!saveTCUpdates()) return;
  hide();
  returnToMainWindow();
}

void FrmTestCalls::cmdCancel_Click() {
  hide();
  returnToMainWindow();
}

void FrmTestCalls::returnToMainWindow() {
  MainWindow& main = console_.windows.mainWindow();
  main.activateWindow();
}

// The lists as shown are stored first, so the calls placed follow them; a
// list that could not be stored places none (an excluded node would be called).
void FrmTestCalls::cmdInitiateTestCalls_Click() {
  setHourglass(*this, true);
  if (saveTCUpdates())
    scheduleTestCalls(console_.program);
  else
    reportTestCallOutcome(console_.program,
                          "No test calls have been scheduled: the list of Octel Nodes to call could not be saved.",
                          MessageIcon::Exclamation);
  setHourglass(*this, false);
}

void FrmTestCalls::cmdCancelPendingTestCalls_Click() {
  Program& program = console_.program;
  bool confirmed = false;
  guard(
      program, kCancelPendingTestCalls,
      [&] {
        confirmed = program.host.messageBox(
                        "This will cancel all pending test calls.\r\n\r\nClick 'OK' to confirm this action, or "
                        "'Cancel' to abort.",
                        kApplicationTitle, MessageButtons::OkCancel, MessageIcon::Exclamation) == MessageResult::Ok;
      },
      ErrorHandler::BoxAndCount);
  if (!confirmed) return;
  setHourglass(*this, true);
  guard(
      program, kCancelPendingTestCalls, [&] { cancelTestCalls(program); }, ErrorHandler::BoxAndCount);
  setHourglass(*this, false);
}

void FrmTestCalls::formResize() {
  if (isMinimized()) return;
  guard(
      console_.program, "Form_Resize of Form frmTestCalls",
      [&] {
        const QSize outer = keepMinimumOuterSize(*this, kMinimumWidthTwips, kMinimumHeightTwips);
        const int frameHeight = outer.height() - 555;
        const TwipScale scale = twipScale(*this);
        frmTC->resize(frmTC->width(), scale.y(frameHeight));
        const int listHeight = scale.y(frameHeight - 1080);
        lstInclude->resize(lstInclude->width(), listHeight);
        lstExclude->resize(lstExclude->width(), listHeight);
      },
      ErrorHandler::BoxAndCount);
}

void FrmTestCalls::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  formResize();
}

}  // namespace travik
