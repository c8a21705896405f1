#include "admin/frm_event_viewer.h"

#include "admin/console.h"

namespace travik {

FrmEventViewer::FrmEventViewer(Console& console) : console_(console) {
  setObjectName(QStringLiteral("frmEventViewer"));
  setWindowTitle(QStringLiteral("Event Viewer Notification"));
}

void FrmEventViewer::updateEVForm() {}
}  // namespace travik
