// How one window of the console opens, fills, shows or hides another without
// knowing it: the console's assembly (admin/app/console_windows.h), which
// builds every window, implements it, and each window reaches it through
// Console::windows.  Each call does what the window's own steps do, in their
// order; a window is created on its first use.
#pragma once

#include <QString>
#include <cstdint>

namespace travik {

class MainWindow;

class WindowOpener {
 public:
  virtual MainWindow& mainWindow() = 0;

  // ---- The main window's menus and Browse buttons ----
  // The notification settings, the test calls and the error-count reset:
  // each filled anew, then shown.
  virtual void openEventViewer() = 0;
  virtual void openTestCalls() = 0;
  virtual void openResetErrorCounts() = 0;
  // The help page, loaded again.
  virtual void openHelp() = 0;
  // The about box, modal.
  virtual void openAbout() = 0;
  // The folder pickers.
  virtual void openBrowseMvLogPath() = 0;
  virtual void openBrowseOutputPath() = 0;

  // ---- The detail and totals windows ----
  // Each throws when its rows cannot be read; the window then stays as it was.
  virtual void showEventsForCall(std::int64_t line, const QString& beginTime) = 0;
  virtual void showTasksForCall(const QString& callId) = 0;
  virtual void showRecipientsForTask(const QString& taskId) = 0;
  virtual void showLineTotals() = 0;
  virtual void showOctelTotals() = 0;
  // Another call chosen: the tasks window's View Recipients waits for a task again.
  virtual void noTaskChosen() = 0;
  // Hides the detail and totals windows that exist (before a manual run and a purge).
  virtual void hideDetailWindows() = 0;

  // ---- Around the main window's work ----
  // The "working" window, painted before the work that follows holds the event loop.
  virtual void showWorking(const QString& text) = 0;
  virtual void hideWorking() = 0;
  // The idle shutdown paused for a manual run, and resumed after it.
  virtual void pauseForManualRun() = 0;
  virtual void resumeAfterManualRun() = 0;

 protected:
  ~WindowOpener() = default;
};

}  // namespace travik
