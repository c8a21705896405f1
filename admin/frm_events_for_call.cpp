#include "admin/frm_events_for_call.h"

#include "admin/console.h"

namespace travik {

FrmEventsForCall::FrmEventsForCall(Console& console) : console_(console) {
  setObjectName(QStringLiteral("frmEventsForCall"));
  setWindowTitle(QStringLiteral("Call Events for Line"));
}
}  // namespace travik
