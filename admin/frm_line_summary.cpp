#include "admin/frm_line_summary.h"

#include "admin/console.h"

namespace travik {

FrmLineSummary::FrmLineSummary(Console& console) : console_(console) {
  setObjectName(QStringLiteral("frmLineSummary"));
  setWindowTitle(QStringLiteral("Totals per Line"));
}
}  // namespace travik
