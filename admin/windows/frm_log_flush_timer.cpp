#include "admin/windows/frm_log_flush_timer.h"

#include <QTimer>

#include "admin/console/console.h"
#include "admin/widgets/controls.h"
#include "processing/runtime/activity_log.h"

namespace travik {

FrmLogFlushTimer::FrmLogFlushTimer(Console& console) : console_(console) {
  setObjectName(QStringLiteral("frmLogFlushTimer"));
  setWindowTitle(QStringLiteral("Log Flush Timer"));
  tmrLogFlushTimer = makeTimer(this, "tmrLogFlushTimer", kLogFlushIntervalMs);
  connect(tmrLogFlushTimer, &QTimer::timeout, this, [this] { tmrLogFlushTimer_Timer(); });
}

void FrmLogFlushTimer::tmrLogFlushTimer_Timer() { flushActivityLog(console_.program); }

}  // namespace travik
