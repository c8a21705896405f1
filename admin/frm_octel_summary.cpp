#include "admin/frm_octel_summary.h"

#include "admin/console.h"

namespace travik {

FrmOctelSummary::FrmOctelSummary(Console& console) : console_(console) {
  setObjectName(QStringLiteral("frmOctelSummary"));
  setWindowTitle(QStringLiteral("Totals per Octel Node"));
}
}  // namespace travik
