#include "admin/frm_reset_error_counts.h"

#include "admin/console.h"

namespace travik {

FrmResetErrorCounts::FrmResetErrorCounts(Console& console) : console_(console) {
  setObjectName(QStringLiteral("frmResetErrorCounts"));
  setWindowTitle(QStringLiteral("Reset Error Counts"));
}

void FrmResetErrorCounts::clearList() {}

void FrmResetErrorCounts::getLatest() {}
}  // namespace travik
