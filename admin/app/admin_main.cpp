// The program TRAVIKadmin: the operator's console.
//
// The start-up window runs the start-up sequence; the program then lives in
// the event loop until an exit path (a signal among them) ends it through
// shutDownApplication.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "admin/app/console_windows.h"
#include "admin/app/frm_admin_startup.h"
#include "admin/console/console_host.h"
#include "admin/console/stop_signals.h"
#include "platform/command_line.h"
#include "platform/event_log.h"
#include "platform/windowing.h"
#include "processing/runtime/exit_status.h"
#include "processing/runtime/program.h"
#include "processing/runtime/start_up.h"

int main(int argc, char** argv) {
  // Answered before Qt looks for a display.
  const travik::platform::ProgramUsage usage{
      "TRAVIKadmin",
      "The TRAVIK administration console: settings, manual processing, grids of calls\n"
      "and errors with their details and totals, reports, purge, and installation\n"
      "and control of the TRAVIK service, over the vrndata.mdb of its program folder\n"
      "(the folder of this program).",
      true};
  if (const auto status = travik::platform::answerCommandLine(argc, argv, usage, std::cout, std::cerr)) return *status;
  // Before QApplication starts any thread, so that every thread leaves the
  // stop signals to the event loop.
  travik::StopSignals stopSignals;
  const auto application =
      travik::platform::openApplication(argc, argv, "TRAVIKadmin", travik::exit_status::kNoDisplay);
  travik::platform::useDialogLook();
  // Every exit path ends in shutDownApplication, not in the last window closing.
  application->setQuitOnLastWindowClosed(false);
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    std::fprintf(stderr, "TRAVIKadmin: cannot find the program folder: %s\n", error.message().c_str());
    return 1;
  }
  travik::ConsoleHost host;
  travik::platform::SyslogEventLog events("TRAVIKadmin");
  travik::Program program(executable.parent_path(), "TRAVIKadmin", false, host, events);
  // The orderly exit has closed the log and the database; the windows and the
  // event loop are left to the process's end, as they may be on the stack.
  program.exitProcess = [](int code) {
    std::fflush(nullptr);
    std::_Exit(code);
  };
  travik::ConsoleWindows console(program, host);
  // A signal ends the console as its exit menu does, from the event loop or
  // from wherever the console waits.
  console.stopOnSignals([&stopSignals] { return stopSignals.pending(); });
  stopSignals.listen([&console] { console.endOnStopSignal(); });
  travik::FrmAdminStartup startup(console);
  if (!startup.formLoad()) return 0;
  application->exec();
  travik::shutDownApplication(program, travik::exit_status::kOrderly);
}
