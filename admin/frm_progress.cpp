#include "admin/frm_progress.h"

#include "admin/console.h"

namespace travik {

FrmProgress::FrmProgress(Console& console) : console_(console) {
  setObjectName(QStringLiteral("frmProgress"));
  setWindowTitle(QStringLiteral(""));
}
}  // namespace travik
