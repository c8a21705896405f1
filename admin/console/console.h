// The console as one object: the program state, the host, the two platform
// seams (command runner and service state), the console's lock, and the way
// to its other windows.
//
// Every window is made with this object and reaches what it shares through
// it: the program, the host, the platform, and through `windows` the other
// windows (window_opener.h) and the main window (main_window.h).  The windows
// themselves are built and held by the assembly above them
// (admin/app/console_windows.h), so no window depends on another's header.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "admin/console/console_host.h"
#include "platform/instance_lock.h"
#include "processing/runtime/program.h"

class QWidget;

namespace travik {

class WindowOpener;

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
  Console(Program& program, ConsoleHost& host, WindowOpener& windows,
          ConsolePlatform platform = ConsolePlatform::system());
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  Program& program;
  ConsoleHost& host;
  ConsolePlatform platform;
  // Held from the start-up's single-instance check to the end of the process.
  platform::InstanceLock instanceLock;
  // The common start has opened the database: from here an end puts the
  // console's marks back.
  bool started = false;

  // The other windows, as one window opens another.
  WindowOpener& windows;

  // Shows a window modal: returns when the window is hidden again.
  void showModal(QWidget& window);
  // Replaces the modal wait (tests: no window ever blocks them).
  std::function<void(QWidget&)> modalHook;

  // From now on a stop signal (arrived tells whether one has) ends the
  // console also where its event loop does not run: a wait for the database
  // gives way to it, as do the pauses and the message boxes.
  void stopOnSignals(const std::function<bool()>& arrived);
  // The end on a stop signal, as through the exit menu; returns only when
  // the end is under way already.
  void endOnStopSignal();

 private:
  bool endingOnStopSignal_ = false;
};

}  // namespace travik
