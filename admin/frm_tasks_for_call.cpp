#include "admin/frm_tasks_for_call.h"

#include "admin/console.h"

namespace travik {

FrmTasksForCall::FrmTasksForCall(Console& console) : console_(console) {
  setObjectName(QStringLiteral("frmTasksForCall"));
  setWindowTitle(QStringLiteral("Tasks for CallID"));
}
}  // namespace travik
