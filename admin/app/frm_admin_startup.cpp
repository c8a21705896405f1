#include "admin/app/frm_admin_startup.h"

#include <QTimer>

#include "admin/app/console_windows.h"
#include "admin/console/service_api.h"
#include "admin/main_window/frm_main.h"
#include "admin/windows/frm_auto_shutdown.h"
#include "admin/windows/frm_service_monitor_timer.h"
#include "processing/run/program_start.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/console_interlock.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/start_up.h"

namespace travik {

FrmAdminStartup::FrmAdminStartup(ConsoleWindows& console) : console_(console) {
  setObjectName(QStringLiteral("frmAdminStartup"));
  setWindowTitle(QStringLiteral("TRAVIKadmin startup"));
}

bool FrmAdminStartup::formLoad() {
  Program& program = console_.program;
  // One console per program folder: the lock stands for the main window that
  // a running console shows.
  const ConsoleAtStart found = travikAdminIsRunning(program, console_.instanceLock);
  if (found == ConsoleAtStart::Blocked) return false;  // its box is shown
  if (found == ConsoleAtStart::Running) {
    program.host.messageBox(kAlreadyRunningMessage, kApplicationTitle, MessageButtons::Ok, MessageIcon::Exclamation);
    return false;
  }
  if (getAdminIsRunningFlag(program) &&
      program.host.messageBox(kRunningElsewhereMessage, kApplicationTitle, MessageButtons::OkCancel,
                              MessageIcon::Exclamation) != MessageResult::Ok) {
    console_.instanceLock.release();
    return false;
  }
  program.gatewayNotInstalled = false;
  if (getServiceState(console_, "", kGatewayServiceName) == service_state::kNotInstalled) {
    if (program.host.messageBox(kGatewayMissingMessage, kApplicationTitle, MessageButtons::OkCancel,
                                MessageIcon::Exclamation) != MessageResult::Ok) {
      console_.instanceLock.release();
      return false;
    }
    program.gatewayNotInstalled = true;
  }
  // runningAsService is false for the console from its construction.
  resetIdleDeadline(program);
  console_.frmAutoShutdown().tmrCheckForIdleTimeout->start();
  program.handledErrorCount = 0;
  main(program);
  console_.started = true;
  // A console that only reads its database marks nothing.
  if (!program.databaseReadOnly) {
    setApplicationParameter(program, parameter::kAdminRunning, "True");
    // A registry that cannot be written is reported, not fatal: the console
    // runs, and only the warning of the next start is lost.
    guard(program, "Form_Load() of Form frmAdminStartup", [&] { setAdminIsRunningFlag(program, true); });
  }
  FrmServiceMonitorTimer& monitor = console_.frmServiceMonitorTimer();
  monitor.tmrServiceTimer->start();
  FrmMain& frmMain = console_.frmMain();
  frmMain.formLoad();
  // The service controls follow the service from the window's first paint,
  // not from the monitor's first tick two seconds later.
  monitor.tmrServiceTimer_Timer();
  frmMain.show();
  return true;
}

}  // namespace travik
