#include "admin/frm_about.h"

#include "admin/console.h"
#include "admin/frm_main.h"

namespace travik {

FrmAbout::FrmAbout(Console& console) : console_(console) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QString::fromUtf8(kProductFullName));
}
}  // namespace travik
