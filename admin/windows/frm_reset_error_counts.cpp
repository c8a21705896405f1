#include "admin/windows/frm_reset_error_counts.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <string>

#include "admin/console/console.h"
#include "admin/console/main_window.h"
#include "admin/console/window_opener.h"
#include "admin/models/error_count_reset.h"
#include "admin/widgets/controls.h"
#include "admin/widgets/key_codes.h"
#include "admin/widgets/window_geometry.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/start_up.h"

namespace travik {

namespace {

constexpr int kEnterKey = 13;

QLabel* wrappedLabel(QWidget* parent, const char* name, const char* text) {
  QLabel* label = makeLabel(parent, name, text);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

}  // namespace

FrmResetErrorCounts::FrmResetErrorCounts(Console& console)
    : QWidget(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), console_(console) {
  setObjectName(QStringLiteral("frmResetErrorCounts"));
  setWindowTitle(QStringLiteral("Reset Error Counts"));

  lblReset = wrappedLabel(this, "lblReset",
                          "To reset the communication error count for an Octel Node to zero, select the serial number "
                          "and click the Reset button.  Double-clicking on an entry or pressing the Enter key when an "
                          "entry is highlighted will also work.");
  placeInTwips(lblReset, 120, 120, 3135, 1215);
  Label1 = wrappedLabel(this, "Label1",
                        "To reset the communication error count for all Octel Nodes to zero, click the Reset All "
                        "button.");
  placeInTwips(Label1, 120, 1500, 3135, 615);
  lstReset = new QListWidget(this);
  lstReset->setObjectName(QStringLiteral("lstReset"));
  lstReset->setSelectionMode(QAbstractItemView::SingleSelection);
  placeInTwips(lstReset, 120, 2340, 1575, 2205);
  cmdReset = makeButton(this, "cmdReset", "&Reset");
  placeInTwips(cmdReset, 1860, 2340, 1275, 435);
  cmdResetAll = makeButton(this, "cmdResetAll", "Reset &All");
  placeInTwips(cmdResetAll, 1860, 2940, 1275, 435);
  cmdClose = makeButton(this, "cmdClose", "&Close");
  placeInTwips(cmdClose, 1860, 4080, 1275, 435);

  connect(cmdReset, &QPushButton::clicked, this, [this] { cmdReset_Click(); });
  connect(cmdResetAll, &QPushButton::clicked, this, [this] { cmdResetAll_Click(); });
  connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });
  closeOnEscape(*cmdClose);
  connect(lstReset, &QListWidget::itemDoubleClicked, this, [this] { lstReset_DblClick(); });
  lstReset->installEventFilter(this);

  resizeMinimumClientInTwips(*this, kResetWindowMinimumWidthTwips, kResetWindowMinimumHeightTwips);
}

Program& FrmResetErrorCounts::program() const { return console_.program; }

void FrmResetErrorCounts::clearList() { lstReset->clear(); }

void FrmResetErrorCounts::getLatest() {
  Program& p = program();
  guard(
      p, "getLatest() of Form frmResetErrorCounts",
      [&] {
        const std::vector<std::string> nodes = nodesWithUnresetErrors(p.db);
        for (const std::string& node : nodes) lstReset->addItem(QString::fromStdString(node));
        if (nodes.empty()) {
          p.statusMessage = kNoUnresetErrorsMessage;
          p.host.messageBox(p.statusMessage, kApplicationTitle, MessageButtons::Ok, MessageIcon::Information);
        }
      },
      ErrorHandler::BoxAndCount);
}

void FrmResetErrorCounts::resetCountForNode() {
  const QList<QListWidgetItem*> selected = lstReset->selectedItems();
  if (selected.isEmpty()) return;
  Program& p = program();
  QListWidgetItem* entry = selected.front();
  const std::string serialNumber = entry->text().toStdString();
  setCursor(Qt::WaitCursor);
  // A reset that did not reach the database keeps its entry and claims nothing.
  const bool reset = guard(
      p, "resetCountForNode() of Form frmResetErrorCounts", [&] { resetErrorCountForNode(p.db, serialNumber); },
      ErrorHandler::BoxAndCount);
  if (reset) {
    delete lstReset->takeItem(lstReset->row(entry));
    // The list moves its current entry on to the next one, and with a single
    // selection selects it: a second Enter would reset a node nobody chose.
    lstReset->setCurrentRow(-1, QItemSelectionModel::Clear);
  }
  unsetCursor();
  if (!reset) return;
  const std::string message = kNodeResetMessage + serialNumber;
  writeLog(p, message, true);
  p.host.messageBox(message, kApplicationTitle, MessageButtons::Ok, MessageIcon::None);
}

void FrmResetErrorCounts::resetCountForAllNodes() {
  Program& p = program();
  setCursor(Qt::WaitCursor);
  const bool reset = guard(
      p, "resetCountForAllNodes() of Form frmResetErrorCounts", [&] { resetErrorCountsForAllNodes(p.db); },
      ErrorHandler::BoxAndCount);
  if (reset) lstReset->clear();
  unsetCursor();
  if (!reset) return;
  writeLog(p, kAllNodesResetMessage, true);
  p.host.messageBox(kAllNodesResetMessage, kApplicationTitle, MessageButtons::Ok, MessageIcon::None);
}

void FrmResetErrorCounts::cmdReset_Click() { resetCountForNode(); }

void FrmResetErrorCounts::cmdResetAll_Click() { resetCountForAllNodes(); }

void FrmResetErrorCounts::lstReset_DblClick() { resetCountForNode(); }

void FrmResetErrorCounts::lstReset_KeyPress(int keyAscii) {
  if (keyAscii == kEnterKey) resetCountForNode();
}

void FrmResetErrorCounts::cmdClose_Click() {
  hide();
  console_.windows.mainWindow().activateWindow();
}

void FrmResetErrorCounts::formResize() {
  if (isMinimized()) return;
  guard(
      program(), "Form_Resize of Form frmResetErrorCounts",
      [&] {
        const QSize client =
            keepMinimumClientSize(*this, kResetWindowMinimumWidthTwips, kResetWindowMinimumHeightTwips);
        // fitListToWindow
        lstReset->resize(lstReset->width(), twipScale(*this).y(client.height() - kResetListHeightMarginTwips));
      },
      ErrorHandler::BoxAndCount);
}

void FrmResetErrorCounts::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  formResize();
}

void FrmResetErrorCounts::closeEvent(QCloseEvent* event) {
  event->ignore();
  cmdClose_Click();
}

bool FrmResetErrorCounts::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lstReset && event->type() == QEvent::KeyPress) {
    const int keyAscii = keyAsciiOf(*static_cast<QKeyEvent*>(event));
    if (keyAscii == kEnterKey) {
      lstReset_KeyPress(keyAscii);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace travik
