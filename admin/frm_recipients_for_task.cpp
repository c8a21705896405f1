#include "admin/frm_recipients_for_task.h"

#include "admin/console.h"

namespace travik {

FrmRecipientsForTask::FrmRecipientsForTask(Console& console) : console_(console) {
  setObjectName(QStringLiteral("frmRecipientsForTask"));
  setWindowTitle(QStringLiteral("Recipients for TaskID"));
}
}  // namespace travik
