#include "admin/windows/frm_service_monitor_timer.h"

#include <QTimer>

#include "admin/console/console.h"
#include "admin/console/main_window.h"
#include "admin/console/service_api.h"
#include "admin/console/window_opener.h"
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
    MainWindow& main = console_.windows.mainWindow();
    switch (getServiceState(console_, "", kMonitoredServiceName)) {
      case service_state::kNotInstalled: main.setControlsServiceUninstalled(); break;
      case service_state::kStopped:
      case service_state::kStartPending:
      case service_state::kContinuePending:
      case service_state::kPaused: main.setControlsServiceInstalledStopped(); break;
      case service_state::kStopPending:
      case service_state::kRunning:
      case service_state::kPausePending: main.setControlsServiceInstalledStarted(); break;
      default: break;
    }
  });
}

}  // namespace travik
