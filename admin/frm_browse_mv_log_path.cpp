#include "admin/frm_browse_mv_log_path.h"

#include "admin/console.h"

namespace travik {

FrmBrowseMvLogPath::FrmBrowseMvLogPath(Console& console) : console_(console) {
  setObjectName(QStringLiteral("frmBrowseMvLogPath"));
  setWindowTitle(QStringLiteral("Browse for mervale log folder"));
}
}  // namespace travik
