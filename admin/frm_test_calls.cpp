#include "admin/frm_test_calls.h"

#include "admin/console.h"

namespace travik {

FrmTestCalls::FrmTestCalls(Console& console) : console_(console) {
  setObjectName(QStringLiteral("frmTestCalls"));
  setWindowTitle(QStringLiteral("Test Calls"));
}

void FrmTestCalls::updateTCForm() {}
}  // namespace travik
