#include "admin/console/console.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QUrl>

#include "admin/grid_windows/frm_events_for_call.h"
#include "admin/grid_windows/frm_line_summary.h"
#include "admin/grid_windows/frm_octel_summary.h"
#include "admin/grid_windows/frm_recipients_for_task.h"
#include "admin/grid_windows/frm_tasks_for_call.h"
#include "admin/main_window/frm_main.h"
#include "admin/windows/frm_about.h"
#include "admin/windows/frm_auto_shutdown.h"
#include "admin/windows/frm_browse_mv_log_path.h"
#include "admin/windows/frm_browse_output_path.h"
#include "admin/windows/frm_event_viewer.h"
#include "admin/windows/frm_help.h"
#include "admin/windows/frm_log_flush_timer.h"
#include "admin/windows/frm_progress.h"
#include "admin/windows/frm_reset_error_counts.h"
#include "admin/windows/frm_service_monitor_timer.h"
#include "admin/windows/frm_test_calls.h"
#include "platform/process_runner.h"
#include "platform/service_manager.h"
#include "processing/runtime/console_interlock.h"

namespace travik {

ConsolePlatform ConsolePlatform::system() {
  ConsolePlatform platform;
  platform.runCommand = [](std::string_view commandLine, const std::filesystem::path& programFolder) {
    return platform::runCommand(commandLine, programFolder);
  };
  platform.queryServiceState = [](std::string_view serviceName) { return platform::queryServiceState(serviceName); };
  platform.openUrl = [](const std::string& address) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
  };
  return platform;
}

Console::Console(Program& program, ConsoleHost& host, ConsolePlatform platform)
    : program(program),
      host(host),
      platform(std::move(platform)),
      instanceLock(consoleLockFile(program.programFolder)) {
  // The progress display and the flush timer exist before the common start
  // writes its first status text and opens the activity log.
  frmLogFlushTimer();
  host.attachLogFlushTimer(frmLogFlushTimer_->tmrLogFlushTimer);
  frmMain();
  host.attachProgressDisplay(frmMain_->txtProgress, frmMain_->ProgressBar, frmMain_.get());
}

Console::~Console() = default;

void Console::showModal(QWidget& window) {
  if (modalHook) {
    modalHook(window);
    return;
  }
  window.setWindowModality(Qt::ApplicationModal);
  window.show();
  QEventLoop loop;
  // The window is done with when it is hidden again.
  while (window.isVisible()) loop.processEvents(QEventLoop::WaitForMoreEvents);
}

void Console::hideDetailWindows() {
  for (QWidget* window :
       std::initializer_list<QWidget*>{frmTasksForCall_.get(), frmRecipientsForTask_.get(), frmEventsForCall_.get(),
                                       frmOctelSummary_.get(), frmLineSummary_.get()})
    if (window) window->hide();
}

namespace {

template <class Window>
Window& onFirstUse(std::unique_ptr<Window>& slot, Console& console) {
  if (!slot) slot = std::make_unique<Window>(console);
  return *slot;
}

// A window opened from the main window is the main window's dialog: the
// window manager keeps it above the main window, also after a message box
// has been on top.  The main window outlives it (its slot is declared first).
template <class Window>
Window& childOnFirstUse(std::unique_ptr<Window>& slot, Console& console) {
  if (!slot) {
    slot = std::make_unique<Window>(console);
    slot->setParent(&console.frmMain(), (slot->windowFlags() & ~Qt::WindowType_Mask) | Qt::Dialog);
  }
  return *slot;
}

}  // namespace

FrmMain& Console::frmMain() { return onFirstUse(frmMain_, *this); }
FrmAutoShutdown& Console::frmAutoShutdown() { return onFirstUse(frmAutoShutdown_, *this); }
FrmServiceMonitorTimer& Console::frmServiceMonitorTimer() { return onFirstUse(frmServiceMonitorTimer_, *this); }
FrmLogFlushTimer& Console::frmLogFlushTimer() { return onFirstUse(frmLogFlushTimer_, *this); }
FrmHelp& Console::frmHelp() { return onFirstUse(frmHelp_, *this); }
FrmBrowseMvLogPath& Console::frmBrowseMvLogPath() { return childOnFirstUse(frmBrowseMvLogPath_, *this); }
FrmBrowseOutputPath& Console::frmBrowseOutputPath() { return childOnFirstUse(frmBrowseOutputPath_, *this); }
FrmAbout& Console::frmAbout() { return childOnFirstUse(frmAbout_, *this); }
FrmTestCalls& Console::frmTestCalls() { return childOnFirstUse(frmTestCalls_, *this); }
FrmEventViewer& Console::frmEventViewer() { return childOnFirstUse(frmEventViewer_, *this); }
FrmTasksForCall& Console::frmTasksForCall() { return childOnFirstUse(frmTasksForCall_, *this); }
FrmRecipientsForTask& Console::frmRecipientsForTask() { return childOnFirstUse(frmRecipientsForTask_, *this); }
FrmEventsForCall& Console::frmEventsForCall() { return childOnFirstUse(frmEventsForCall_, *this); }
FrmLineSummary& Console::frmLineSummary() { return childOnFirstUse(frmLineSummary_, *this); }
FrmOctelSummary& Console::frmOctelSummary() { return childOnFirstUse(frmOctelSummary_, *this); }
FrmResetErrorCounts& Console::frmResetErrorCounts() { return childOnFirstUse(frmResetErrorCounts_, *this); }
FrmProgress& Console::frmProgress() { return childOnFirstUse(frmProgress_, *this); }

}  // namespace travik
