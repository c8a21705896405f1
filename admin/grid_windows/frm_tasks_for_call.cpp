#include "admin/grid_windows/frm_tasks_for_call.h"

#include <QPushButton>
#include <QTableView>

#include "admin/console/console.h"
#include "admin/console/main_window.h"
#include "admin/console/window_opener.h"
#include "admin/models/grid_records.h"
#include "admin/widgets/window_geometry.h"
#include "processing/runtime/error_handling.h"

namespace travik {

namespace {

constexpr GridWindowDesign kDesign = {"frmTasksForCall",
                                      "Tasks for CallID",
                                      "flxTasks",
                                      "cmdSaveTasksGrid",
                                      {"TasksGrid_", "Tasks grid has been saved as "},
                                      11235,
                                      3480};

}  // namespace

FrmTasksForCall::FrmTasksForCall(Console& console) : GridWindow(console, kDesign) {
  flxTasks = grid;
  cmdSaveTasksGrid = cmdSave;
  cmdViewRecipients = new QPushButton(QStringLiteral("View &Recipients"), this);
  cmdViewRecipients->setObjectName(QStringLiteral("cmdViewRecipients"));
  placeInTwips(cmdViewRecipients, 1980, 60, 1395, 375);
  cmdViewRecipients->setEnabled(false);

  connect(cmdSaveTasksGrid, &QPushButton::clicked, this, [this] { cmdSaveTasksGrid_Click(); });
  connect(cmdViewRecipients, &QPushButton::clicked, this, [this] { cmdViewRecipients_Click(); });
  connect(flxTasks, &QTableView::clicked, this, [this] { flxTasks_Click(); });
}

void FrmTasksForCall::showTasksForCall(const QString& callId) {
  bindGrid(*flxTasks, program().db, tasksOfCallQuery(callId.toStdString()));
  setWindowTitle(QStringLiteral("Tasks for CallID ") + callId);
  show();
}

void FrmTasksForCall::cmdSaveTasksGrid_Click() { saveToFile(procedureName("cmdSaveTasksGrid_Click()")); }

void FrmTasksForCall::flxTasks_Click() { cmdViewRecipients->setEnabled(true); }

void FrmTasksForCall::cmdViewRecipients_Click() {
  guard(program(), procedureName("cmdViewRecipients_Click()"), [&] {
    const int row = currentRow(*flxTasks);
    if (row < 0) return;
    const QString taskId = selectCell(*flxTasks, row, grid_field::kTaskId);
    // The main grid's call stays the current one, as the task belongs to it.
    QTableView& calls = console_.windows.mainWindow().callsGrid();
    selectCell(calls, currentRow(calls), grid_field::kCallId);
    console_.windows.showRecipientsForTask(taskId);
  });
}

}  // namespace travik
