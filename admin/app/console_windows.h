// The console with its windows: the assembly at the top of the console's
// floors.  It builds every window, on its first use and hidden, as the
// original's forms were loaded by their first reference; frmMain and the
// flush timer's window exist from the start.  It is the console the windows
// are made with, and it opens, fills and hides them when another window asks
// (WindowOpener), so only this file knows every window.
#pragma once

#include <memory>

#include "admin/console/console.h"
#include "admin/console/window_opener.h"

namespace travik {

class FrmMain;
class FrmAutoShutdown;
class FrmServiceMonitorTimer;
class FrmLogFlushTimer;
class FrmHelp;
class FrmBrowseMvLogPath;
class FrmBrowseOutputPath;
class FrmAbout;
class FrmTestCalls;
class FrmEventViewer;
class FrmTasksForCall;
class FrmRecipientsForTask;
class FrmEventsForCall;
class FrmLineSummary;
class FrmOctelSummary;
class FrmResetErrorCounts;
class FrmProgress;

class ConsoleWindows final : public WindowOpener, public Console {
 public:
  ConsoleWindows(Program& program, ConsoleHost& host, ConsolePlatform platform = ConsolePlatform::system());
  ~ConsoleWindows();

  FrmMain& frmMain();
  FrmAutoShutdown& frmAutoShutdown();
  FrmServiceMonitorTimer& frmServiceMonitorTimer();
  FrmLogFlushTimer& frmLogFlushTimer();
  FrmHelp& frmHelp();
  FrmBrowseMvLogPath& frmBrowseMvLogPath();
  FrmBrowseOutputPath& frmBrowseOutputPath();
  FrmAbout& frmAbout();
  FrmTestCalls& frmTestCalls();
  FrmEventViewer& frmEventViewer();
  FrmTasksForCall& frmTasksForCall();
  FrmRecipientsForTask& frmRecipientsForTask();
  FrmEventsForCall& frmEventsForCall();
  FrmLineSummary& frmLineSummary();
  FrmOctelSummary& frmOctelSummary();
  FrmResetErrorCounts& frmResetErrorCounts();
  FrmProgress& frmProgress();

  // ---- WindowOpener ----
  MainWindow& mainWindow() override;
  void openEventViewer() override;
  void openTestCalls() override;
  void openResetErrorCounts() override;
  void openHelp() override;
  void openAbout() override;
  void openBrowseMvLogPath() override;
  void openBrowseOutputPath() override;
  void showEventsForCall(std::int64_t line, const QString& beginTime) override;
  void showTasksForCall(const QString& callId) override;
  void showRecipientsForTask(const QString& taskId) override;
  void showLineTotals() override;
  void showOctelTotals() override;
  void noTaskChosen() override;
  void hideDetailWindows() override;
  void showWorking(const QString& text) override;
  void hideWorking() override;
  void pauseForManualRun() override;
  void resumeAfterManualRun() override;

 private:
  // A window opened from the main window is the main window's dialog.
  template <class Window>
  Window& childOnFirstUse(std::unique_ptr<Window>& slot);

  std::unique_ptr<FrmMain> frmMain_;
  std::unique_ptr<FrmAutoShutdown> frmAutoShutdown_;
  std::unique_ptr<FrmServiceMonitorTimer> frmServiceMonitorTimer_;
  std::unique_ptr<FrmLogFlushTimer> frmLogFlushTimer_;
  std::unique_ptr<FrmHelp> frmHelp_;
  std::unique_ptr<FrmBrowseMvLogPath> frmBrowseMvLogPath_;
  std::unique_ptr<FrmBrowseOutputPath> frmBrowseOutputPath_;
  std::unique_ptr<FrmAbout> frmAbout_;
  std::unique_ptr<FrmTestCalls> frmTestCalls_;
  std::unique_ptr<FrmEventViewer> frmEventViewer_;
  std::unique_ptr<FrmTasksForCall> frmTasksForCall_;
  std::unique_ptr<FrmRecipientsForTask> frmRecipientsForTask_;
  std::unique_ptr<FrmEventsForCall> frmEventsForCall_;
  std::unique_ptr<FrmLineSummary> frmLineSummary_;
  std::unique_ptr<FrmOctelSummary> frmOctelSummary_;
  std::unique_ptr<FrmResetErrorCounts> frmResetErrorCounts_;
  std::unique_ptr<FrmProgress> frmProgress_;
};

}  // namespace travik
