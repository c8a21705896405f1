// frmMain: installing, removing, starting and stopping the processing service.
//
// The console does not talk to the service manager for these: it runs the
// program folder's tools INSTSRV (install, remove) and net (start, stop) and
// judges each by its exit code, 1 for INSTSRV's success and 0 for net's.
// Which buttons can be pressed follows the service's real state through the
// service monitor; these handlers leave the control states alone.
#include <string>

#include "admin/console/console.h"
#include "admin/console/exec_cmd.h"
#include "admin/main_window/frm_main.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/registry_api.h"
#include "processing/runtime/start_up.h"

namespace travik {

namespace {

constexpr const char* kServiceParametersKey = "System\\CurrentControlSet\\Services\\TRAVIKservice.exe\\Parameters";

void informationBox(Program& program, const std::string& text) {
  program.host.messageBox(text, kApplicationTitle, MessageButtons::Ok, MessageIcon::Information);
}

void warningBox(Program& program, const std::string& text) {
  program.host.messageBox(text, kApplicationTitle, MessageButtons::Ok, MessageIcon::Exclamation);
}

bool confirmed(Program& program, const std::string& text) {
  return program.host.messageBox(text, kApplicationTitle, MessageButtons::OkCancel, MessageIcon::Exclamation) ==
         MessageResult::Ok;
}

// The tools expect the program folder joined to a file name by a backslash, as
// the service manager's own paths are written; they read it back either way.
std::string inProgramFolder(const Program& program, const char* fileName) {
  return program.programFolder.string() + "\\" + fileName;
}

// A start or stop of the service through net, which exits 0 on success.
struct NetCommand {
  const char* procedure;
  const char* requested;  // the activity log line before the command
  const char* commandLine;
  const char* succeeded;   // information box on success
  const char* successLog;  // activity log line on success
  const char* failed;      // warning box on failure, followed by the exit code
  const char* failureLog;  // activity log line on failure, followed by the exit code
};

constexpr NetCommand kStartService = {
    "cmdStartService_Click() of Form frmMain",
    "TRAVIKservice.exe start requested.",
    "net start TRAVIKservice.exe",
    // The service skips its cycles while a console runs.
    "TRAVIKservice.exe started successfully.\n"
    "Please exit TRAVIK administration to activate the automatic processing of call data.",
    "TRAVIKservice.exe start successful.",
    "TRAVIKservice.exe failed to start.  Verify in the Windows Services Control Panel that the service is not "
    "already running, and that the service is not disabled.  Return Code ",
    "(error): TRAVIKservice.exe failed to start.  Return Code=",
};

constexpr NetCommand kStopService = {
    "cmdStopService_Click() of Form frmMain",
    "TRAVIKservice.exe stop requested.",
    "net stop TRAVIKservice.exe",
    "TRAVIKservice.exe stopped successfully.",
    "TRAVIKservice.exe stop successful.",
    "TRAVIKservice.exe failed to stop.  Verify in the Windows Services Control Panel that the service is not "
    "already stopped.  Return Code ",
    "(error): TRAVIKservice.exe failed to stop.  Return Code=",
};

void runNetCommand(Console& console, Program& p, const NetCommand& command) {
  constexpr ErrorHandler kHandler = ErrorHandler::LogAndCount;
  int code = -1;
  guard(
      p, command.procedure,
      [&] {
        writeLog(p, command.requested, true);
        p.host.setMousePointer(kPointerHourglass);
        code = ExecCmd(console, command.commandLine);
      },
      kHandler);
  guard(
      p, command.procedure,
      [&] {
        if (code == 0) {
          informationBox(p, command.succeeded);
          writeLog(p, command.successLog, true);
        } else {
          warningBox(p, command.failed + std::to_string(code));
          writeLog(p, command.failureLog + std::to_string(code), true);
        }
      },
      kHandler);
  p.host.setMousePointer(kPointerDefault);
}

}  // namespace

void FrmMain::cmdInstallService_Click() {
  constexpr const char* kProcedure = "cmdInstallService_Click() of Form frmMain";
  constexpr ErrorHandler kHandler = ErrorHandler::LogAndCount;
  Program& p = program();
  bool go = false;
  trap(kProcedure, kHandler, [&] {
    go = validateLogPath(p) && validateOutputPath(p) &&
         confirmed(p, "This will install the TRAVIK service.  Do you want to continue?");
  });
  if (!go) return;
  int code = -1;
  trap(kProcedure, kHandler, [&] {
    writeLog(p, "TRAVIKservice installation requested.", true);
    p.host.setMousePointer(kPointerHourglass);
    code = ExecCmd(console_, "INSTSRV TRAVIKservice.exe \"" + inProgramFolder(p, "SRVANY.EXE") + "\"");
  });
  if (code == 1) {
    // The wrapper starts the program this value names.
    bool configured = trap(kProcedure, kHandler, [&] { regCreateKey(p, kHkeyLocalMachine, kServiceParametersKey); });
    bool written = false;
    configured &= trap(kProcedure, kHandler, [&] {
      platform::RegValue application;
      application.type = platform::RegType::String;
      application.text = inProgramFolder(p, "TRAVIKservice.exe");
      written = regSetValue(p, kHkeyLocalMachine, kServiceParametersKey, "Application", kRegSz, application);
    });
    trap(kProcedure, kHandler, [&] {
      if (configured && written) {
        informationBox(p,
                       "TRAVIKservice.exe was successfully installed and configured for startup type 'Automatic'.\n"
                       "Use TRAVIK administration to configure the settings and then start the TRAVIK service.");
        writeLog(p, "TRAVIKservice installation complete.", true);
        return;
      }
      // Without the value the installed service has no program to start.
      warningBox(p, "TRAVIKservice.exe was installed, but the program it starts could not be recorded in " +
                        std::string(kServiceParametersKey) + ".  Uninstall the TRAVIK service and install it again.");
      writeLog(p, "(error): TRAVIKservice installation failed.  The service's Application value could not be written.",
               true);
    });
  } else {
    trap(kProcedure, kHandler, [&] {
      informationBox(p,
                     "Could not install TRAVIKservice.exe.  Verify in the Windows Services Control Panel that the "
                     "service is not already installed.  Return Code " +
                         std::to_string(code));
      writeLog(p, "TRAVIKservice installation failed.  Return Code=" + std::to_string(code), true);
    });
  }
  p.host.setMousePointer(kPointerDefault);
}

void FrmMain::cmdUninstallService_Click() {
  constexpr const char* kProcedure = "cmdUninstallService_Click() of Form frmMain";
  constexpr ErrorHandler kHandler = ErrorHandler::LogAndCount;
  Program& p = program();
  bool go = false;
  trap(kProcedure, kHandler, [&] {
    go = confirmed(p,
                   "This will uninstall the TRAVIK service.\n"
                   "Please close the Windows Service Control Manager if it is running.\n\n"
                   "Do you want to continue?");
  });
  if (!go) return;
  int code = -1;
  trap(kProcedure, kHandler, [&] {
    writeLog(p, "TRAVIKservice uninstall requested.", true);
    p.host.setMousePointer(kPointerHourglass);
  });
  // A service removed in the middle of a cycle must not leave the console refusing to process.
  trap(kProcedure, kHandler, [&] { setApplicationParameter(p, parameter::kServiceProcessing, "False"); });
  trap(kProcedure, kHandler, [&] { code = ExecCmd(console_, "INSTSRV TRAVIKservice.exe REMOVE"); });
  trap(kProcedure, kHandler, [&] {
    if (code == 1) {
      informationBox(p, "The TRAVIK service was successfully uninstalled.");
      writeLog(p, "TRAVIKservice uninstall complete.", true);
    } else {
      informationBox(p,
                     "Could not uninstall TRAVIKservice.exe.  Verify in the Windows Services Control Panel that the "
                     "service is not already uninstalled, and that the service is not running.  Return Code " +
                         std::to_string(code));
      writeLog(p, "TRAVIKservice uninstallation failed.  Return Code=" + std::to_string(code), true);
    }
  });
  p.host.setMousePointer(kPointerDefault);
}

void FrmMain::cmdStartService_Click() {
  Program& p = program();
  bool go = false;
  trap(kStartService.procedure, ErrorHandler::LogAndCount, [&] { go = validateLogPath(p) && validateOutputPath(p); });
  if (go) runNetCommand(console_, p, kStartService);
}

void FrmMain::cmdStopService_Click() { runNetCommand(console_, program(), kStopService); }

}  // namespace travik
