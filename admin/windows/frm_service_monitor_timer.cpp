#include "admin/windows/frm_service_monitor_timer.h"

#include <QTimer>

#include "admin/console/console.h"
#include "admin/console/service_api.h"
#include "admin/main_window/control_enabling.h"
#include "admin/widgets/controls.h"
#include "processing/runtime/error_handling.h"

namespace travik {

FrmServiceMonitorTimer::FrmServiceMonitorTimer(Console& console) : console_(console) {
  setObjectName(QStringLiteral("frmServiceMonitorTimer"));
  setWindowTitle(QStringLiteral("Service Monitor Timer"));
  tmrServiceTimer = makeTimer(this, "tmrServiceTimer", kServiceMonitorIntervalMs);
  connect(tmrServiceTimer, &QTimer::timeout, this, [this] { tmrServiceTimer_Timer(); });
}

void FrmServiceMonitorTimer::tmrServiceTimer_Timer() {
  guard(console_.program, "tmrServiceTimer_Timer of Form frmServiceMonitorTimer()", [&] {
    switch (getServiceState(console_, "", kMonitoredServiceName)) {
      case service_state::kNotInstalled: setControlsServiceUninstalled(console_); break;
      case service_state::kStopped:
      case service_state::kStartPending:
      case service_state::kContinuePending:
      case service_state::kPaused: setControlsServiceInstalledStopped(console_); break;
      case service_state::kStopPending:
      case service_state::kRunning:
      case service_state::kPausePending: setControlsServiceInstalledStarted(console_); break;
      default: break;
    }
  });
}

}  // namespace travik
