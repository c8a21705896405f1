#include "admin/frm_browse_output_path.h"

#include "admin/console.h"

namespace travik {

FrmBrowseOutputPath::FrmBrowseOutputPath(Console& console) : console_(console) {
  setObjectName(QStringLiteral("frmBrowseOutputPath"));
  setWindowTitle(QStringLiteral("Browse for output folder"));
}
}  // namespace travik
