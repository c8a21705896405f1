#include "admin/grid_windows/frm_recipients_for_task.h"

#include <QPushButton>

#include "admin/console/console.h"
#include "admin/models/grid_records.h"

namespace travik {

namespace {

constexpr GridWindowDesign kDesign = {"frmRecipientsForTask",
                                      "Recipients for TaskID",
                                      "flxRecipients",
                                      "cmdSaveRecipientsGrid",
                                      {"RecipientsGrid_", "Recipients grid has been saved as "},
                                      11235,
                                      1800};

}  // namespace

FrmRecipientsForTask::FrmRecipientsForTask(Console& console) : GridWindow(console, kDesign) {
  flxRecipients = grid;
  cmdSaveRecipientsGrid = cmdSave;
  connect(cmdSaveRecipientsGrid, &QPushButton::clicked, this, [this] { cmdSaveRecipientsGrid_Click(); });
}

void FrmRecipientsForTask::showRecipientsForTask(const QString& taskId) {
  bindGrid(*flxRecipients, program().db, recipientsOfTaskQuery(taskId.toStdString()));
  setWindowTitle(QStringLiteral("Recipients for TaskID ") + taskId);
  show();
}

void FrmRecipientsForTask::cmdSaveRecipientsGrid_Click() { saveToFile(procedureName("cmdSaveRecipientsGrid_Click()")); }

}  // namespace travik
