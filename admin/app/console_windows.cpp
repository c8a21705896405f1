#include "admin/app/console_windows.h"

#include <QPushButton>

#include "admin/grid_windows/frm_events_for_call.h"
#include "admin/grid_windows/frm_line_summary.h"
#include "admin/grid_windows/frm_octel_summary.h"
#include "admin/grid_windows/frm_recipients_for_task.h"
#include "admin/grid_windows/frm_tasks_for_call.h"
#include "admin/main_window/frm_main.h"
#include "admin/widgets/window_geometry.h"
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

namespace travik {

ConsoleWindows::ConsoleWindows(Program& program, ConsoleHost& host, ConsolePlatform platform)
    : Console(program, host, *this, std::move(platform)) {
  // The progress display and the flush timer exist before the common start
  // writes its first status text and opens the activity log.
  frmLogFlushTimer();
  host.attachLogFlushTimer(frmLogFlushTimer_->tmrLogFlushTimer);
  frmMain();
  host.attachProgressDisplay(frmMain_->txtProgress, frmMain_->ProgressBar, frmMain_.get());
}

ConsoleWindows::~ConsoleWindows() = default;

namespace {

template <class Window>
Window& onFirstUse(std::unique_ptr<Window>& slot, Console& console) {
  if (!slot) slot = std::make_unique<Window>(console);
  return *slot;
}

}  // namespace

// The window manager keeps a dialog above the main window, also after a
// message box has been on top.  The main window outlives it (its slot is
// declared first).
template <class Window>
Window& ConsoleWindows::childOnFirstUse(std::unique_ptr<Window>& slot) {
  if (!slot) {
    slot = std::make_unique<Window>(*this);
    slot->setParent(&frmMain(), (slot->windowFlags() & ~Qt::WindowType_Mask) | Qt::Dialog);
  }
  return *slot;
}

FrmMain& ConsoleWindows::frmMain() { return onFirstUse(frmMain_, *this); }
FrmAutoShutdown& ConsoleWindows::frmAutoShutdown() { return onFirstUse(frmAutoShutdown_, *this); }
FrmServiceMonitorTimer& ConsoleWindows::frmServiceMonitorTimer() { return onFirstUse(frmServiceMonitorTimer_, *this); }
FrmLogFlushTimer& ConsoleWindows::frmLogFlushTimer() { return onFirstUse(frmLogFlushTimer_, *this); }
FrmHelp& ConsoleWindows::frmHelp() { return onFirstUse(frmHelp_, *this); }
FrmBrowseMvLogPath& ConsoleWindows::frmBrowseMvLogPath() { return childOnFirstUse(frmBrowseMvLogPath_); }
FrmBrowseOutputPath& ConsoleWindows::frmBrowseOutputPath() { return childOnFirstUse(frmBrowseOutputPath_); }
FrmAbout& ConsoleWindows::frmAbout() { return childOnFirstUse(frmAbout_); }
FrmTestCalls& ConsoleWindows::frmTestCalls() { return childOnFirstUse(frmTestCalls_); }
FrmEventViewer& ConsoleWindows::frmEventViewer() { return childOnFirstUse(frmEventViewer_); }
FrmTasksForCall& ConsoleWindows::frmTasksForCall() { return childOnFirstUse(frmTasksForCall_); }
FrmRecipientsForTask& ConsoleWindows::frmRecipientsForTask() { return childOnFirstUse(frmRecipientsForTask_); }
FrmEventsForCall& ConsoleWindows::frmEventsForCall() { return childOnFirstUse(frmEventsForCall_); }
FrmLineSummary& ConsoleWindows::frmLineSummary() { return childOnFirstUse(frmLineSummary_); }
FrmOctelSummary& ConsoleWindows::frmOctelSummary() { return childOnFirstUse(frmOctelSummary_); }
FrmResetErrorCounts& ConsoleWindows::frmResetErrorCounts() { return childOnFirstUse(frmResetErrorCounts_); }
FrmProgress& ConsoleWindows::frmProgress() { return childOnFirstUse(frmProgress_); }

MainWindow& ConsoleWindows::mainWindow() { return frmMain(); }

void ConsoleWindows::openEventViewer() {
  FrmEventViewer& window = frmEventViewer();
  window.updateEVForm();
  window.show();
}

void ConsoleWindows::openTestCalls() {
  FrmTestCalls& window = frmTestCalls();
  window.updateTCForm();
  window.show();
}

void ConsoleWindows::openResetErrorCounts() {
  FrmResetErrorCounts& window = frmResetErrorCounts();
  window.clearList();
  window.getLatest();
  window.show();
}

void ConsoleWindows::openHelp() { frmHelp().open(); }

void ConsoleWindows::openAbout() { showModal(frmAbout()); }

namespace {

// One folder picker at a time: while the other is open, it comes to the
// front instead, so the main window's frames stay disabled until the one open
// picker closes.
void openPicker(FolderPicker& wanted, FolderPicker* other) {
  if (other && other->isVisible())
    other->open();
  else
    wanted.open();
}

}  // namespace

void ConsoleWindows::openBrowseMvLogPath() { openPicker(frmBrowseMvLogPath(), frmBrowseOutputPath_.get()); }

void ConsoleWindows::openBrowseOutputPath() { openPicker(frmBrowseOutputPath(), frmBrowseMvLogPath_.get()); }

namespace {

// A detail or totals window opens where a click meant for a button of the
// main window cannot land in it, nor, where the screen has room, one meant
// for a button of another window of the console on screen.
template <class Window>
Window& placedClearOfButtons(Window& window, QWidget& main) {
  const std::vector<QRect> mainButtons = buttonsOnScreen(main);
  std::vector<QRect> buttons = mainButtons;
  for (const QWidget* other : main.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (other != &window && other->isWindow()) {
      const std::vector<QRect> more = buttonsOnScreen(*other);
      buttons.insert(buttons.end(), more.begin(), more.end());
    }
  if (!placeClearOf(window, main, buttons, Prefer::Highest)) placeClearOf(window, main, mainButtons, Prefer::Lowest);
  return window;
}

}  // namespace

void ConsoleWindows::showEventsForCall(std::int64_t line, const QString& beginTime) {
  placedClearOfButtons(frmEventsForCall(), frmMain()).showEventsForCall(line, beginTime);
}

void ConsoleWindows::showTasksForCall(const QString& callId) {
  placedClearOfButtons(frmTasksForCall(), frmMain()).showTasksForCall(callId);
}

void ConsoleWindows::showRecipientsForTask(const QString& taskId) {
  placedClearOfButtons(frmRecipientsForTask(), frmMain()).showRecipientsForTask(taskId);
}

void ConsoleWindows::showLineTotals() { placedClearOfButtons(frmLineSummary(), frmMain()).showTotals(); }

void ConsoleWindows::showOctelTotals() { placedClearOfButtons(frmOctelSummary(), frmMain()).showTotals(); }

void ConsoleWindows::noTaskChosen() { frmTasksForCall().cmdViewRecipients->setEnabled(false); }

void ConsoleWindows::hideDetailWindows() {
  for (QWidget* window :
       std::initializer_list<QWidget*>{frmTasksForCall_.get(), frmRecipientsForTask_.get(), frmEventsForCall_.get(),
                                       frmOctelSummary_.get(), frmLineSummary_.get()})
    if (window) window->hide();
}

void ConsoleWindows::showWorking(const QString& text) { frmProgress().showWorking(text); }

void ConsoleWindows::hideWorking() { frmProgress().hide(); }

void ConsoleWindows::pauseForManualRun() { frmAutoShutdown().pauseForManualRun(); }

void ConsoleWindows::resumeAfterManualRun() { frmAutoShutdown().resumeAfterManualRun(); }

}  // namespace travik
