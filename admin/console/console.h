// The console as one object: the program state, the host, the two platform
// seams (command runner and service state) and every window of the console.
//
// A window is created on first use, hidden, as the original's forms were
// loaded by their first reference; frmMain and the three timer windows exist
// from the start.  Windows reach each other only through this object, so a
// window file depends on the headers of the windows it opens and nothing else.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "admin/console/console_host.h"
#include "platform/instance_lock.h"
#include "processing/runtime/program.h"

class QWidget;

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

// The console's ways to the operating system's services and processes.
// Tests replace them; the database and the registry are never faked.
struct ConsolePlatform {
  // Runs a command line, waits for its end and returns its exit code (-1: not started).
  std::function<int(std::string_view commandLine, const std::filesystem::path& programFolder)> runCommand;
  // The state of a service: 1 to 7, or -1 when it is not installed or cannot be read.
  std::function<int(std::string_view serviceName)> queryServiceState;
  // Opens a web address in the desktop's default browser.
  std::function<void(const std::string& address)> openUrl;

  // The real ones: posix_spawn and systemctl.
  static ConsolePlatform system();
};

class Console {
 public:
  Console(Program& program, ConsoleHost& host, ConsolePlatform platform = ConsolePlatform::system());
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  Program& program;
  ConsoleHost& host;
  ConsolePlatform platform;
  // Held from the start-up's single-instance check to the end of the process.
  platform::InstanceLock instanceLock;

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

  // Hides the detail and totals windows, when they exist (before a manual run and a purge).
  void hideDetailWindows();

  // Shows a window modal: returns when the window is hidden again.
  void showModal(QWidget& window);
  // Replaces the modal wait (tests: no window ever blocks them).
  std::function<void(QWidget&)> modalHook;

 private:
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
