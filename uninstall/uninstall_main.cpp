#include "uninstall/uninstall_main.h"

#include <QMessageBox>
#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "platform/instance_lock.h"
#include "platform/process_runner.h"
#include "uninstall/registry_api.h"
#include "uninstall/service_api.h"

namespace travik::uninstall {

namespace fs = std::filesystem;

namespace {

constexpr const char* kTitle = "TRAVIK";
constexpr const char* kServiceName = "travikservice.exe";
constexpr const char* kAdminKey = "Software\\TravikAdmin";
constexpr int kPauseAfterServiceCommand = 500;  // ms, for the service manager to settle

constexpr const char* kAdminRunning =
    "The TRAVIK admin application is running.  Please exit TRAVIK admin prior to attempting uninstall.";
constexpr const char* kUninstallQuestion =
    "The TRAVIK service must be uninstalled prior to uninstalling TRAVIK admin.\r\n\r\n"
    "Would you like to uninstall the TRAVIK service now?";
constexpr const char* kStopAndUninstallQuestion =
    "The TRAVIK service must be stopped and uninstalled prior to uninstalling TRAVIK admin.\r\n\r\n"
    "Would you like to stop and uninstall the TRAVIK service now?";
constexpr const char* kCanceled = "TRAVIK uninstallation canceled.";
constexpr const char* kNotUninstalled = "TRAVIK has not been uninstalled.";
constexpr const char* kEventViewerRunning =
    "Event Viewer is running.  This may prevent some TRAVIK files from being successfully deleted.  Please exit the "
    "Event Viewer application.  Then select 'OK' to proceed.";
constexpr const char* kSetupUninstallerFailed =
    "Failed to initiate the TRAVIK admin uninstall script (st6unst).  Use Windows Control Panel Add/Remove Programs "
    "to complete the removal of TRAVIK.";

// Error numbers an operator knows from the original's messages.
constexpr long kInvalidProcedureCall = 5;
constexpr long kOutOfMemory = 7;
constexpr long kFileNotFound = 53;
constexpr long kPermissionDenied = 70;
constexpr long kPathFileAccess = 75;
constexpr long kPathNotFound = 76;

// A failure of one step, as the error report line shows it.
class UninstallError : public std::runtime_error {
 public:
  UninstallError(long number, const std::string& description) : std::runtime_error(description), number(number) {}
  const long number;
};

long fileErrorNumber(const std::error_code& code) {
  if (code == std::errc::no_such_file_or_directory) return kPathNotFound;
  if (code == std::errc::permission_denied || code == std::errc::operation_not_permitted ||
      code == std::errc::read_only_file_system)
    return kPermissionDenied;
  return kPathFileAccess;
}

// "(error):" number " (" description ") in procedure " name.
std::string errorReportLine(long number, std::string_view description, std::string_view procedure) {
  std::string line = "(error):";
  line += std::to_string(number);
  line += " (";
  line += description;
  line += ") in procedure ";
  line += procedure;
  return line;
}

// Runs one step; a failure is shown as the error report line in a plain
// message box, and the caller goes on with its next step.
template <class Step>
void trap(Uninstaller& uninstaller, std::string_view procedure, Step&& step) {
  long number = kInvalidProcedureCall;
  std::string description;
  try {
    step();
    return;
  } catch (const UninstallError& e) {
    number = e.number;
    description = e.what();
  } catch (const std::system_error& e) {
    number = fileErrorNumber(e.code());
    description = e.what();
  } catch (const std::bad_alloc&) {
    number = kOutOfMemory;
    description = "Out of memory";
  } catch (const std::exception& e) {
    description = e.what();
  }
  uninstaller.messageBox(errorReportLine(number, description, procedure), Buttons::Ok, Icon::None);
}

void pause(Uninstaller& uninstaller, int milliseconds) {
  if (uninstaller.sleep)
    uninstaller.sleep(milliseconds);
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Deletes a folder with all its content.  Folders without write permission
// are opened up first, as read-only content is deleted too; where that is not
// allowed, the deletion itself reports the folder it could not delete.  Links
// are removed themselves, never followed, so nothing outside is touched.
void deleteFolderTree(const fs::path& folder) {
  std::error_code ignored;
  if (!fs::is_symlink(folder)) {
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto it = fs::recursive_directory_iterator(folder, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored)) {
      if (!it->is_symlink(ignored) && it->is_directory(ignored))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  fs::remove_all(folder);
}

// Starts the setup uninstaller, which removes the program files listed in the
// setup log, and does not wait for it: this program is one of those files.
void startSetupUninstaller(Uninstaller& uninstaller) {
  const fs::path log = uninstaller.programFolder / "st6unst.log";
  const int pid = platform::startCommand("st6unst -n \"" + log.string() + "\"", uninstaller.programFolder);
  if (pid < 0) throw UninstallError(kFileNotFound, "File not found");
  uninstaller.setupUninstallerProcess = pid;
}

struct ServiceCommand {
  const char* procedure;
  const char* caption;
  const char* label;
  const char* commandLine;
  int successCode;
  const char* failureText;
};

constexpr ServiceCommand kStopService = {"cmdStopService()",
                                         "Stopping...",
                                         "Stopping the TRAVIK service...",
                                         "net stop TRAVIKservice.exe",
                                         0,
                                         "Failed to stop the TRAVIK service.  Return Code "};
constexpr ServiceCommand kUninstallService = {"cmdUninstallService()",
                                              "Uninstalling...",
                                              "Uninstalling the TRAVIK service...",
                                              "INSTSRV TRAVIKservice.exe REMOVE",
                                              1,
                                              "Failed to uninstall the TRAVIK service.  Return Code "};

bool runServiceCommand(Uninstaller& uninstaller, const ServiceCommand& command) {
  bool succeeded = false;
  trap(uninstaller, command.procedure, [&] { uninstaller.frmWait.showWaiting(command.caption, command.label); });
  trap(uninstaller, command.procedure, [&] { fs::current_path(uninstaller.programFolder); });
  int exitCode = -1;
  trap(uninstaller, command.procedure, [&] { exitCode = ExecCmd(uninstaller, command.commandLine); });
  if (exitCode == command.successCode) {
    succeeded = true;
  } else {
    uninstaller.messageBox(command.failureText + std::to_string(exitCode), Buttons::Ok, Icon::Warning);
  }
  trap(uninstaller, command.procedure, [&] { uninstaller.frmWait.hide(); });
  return succeeded;
}

// Asks the question; a refusal is answered with the cancellation notice.
bool agreed(Uninstaller& uninstaller, const char* question) {
  if (uninstaller.messageBox(question, Buttons::OkCancel, Icon::Warning) == Answer::Ok) return true;
  uninstaller.messageBox(kCanceled, Buttons::Ok, Icon::None);
  return false;
}

// Runs one service command; after a success the service manager is given
// time to settle, after a failure the operator learns that nothing was removed.
bool serviceCommandDone(Uninstaller& uninstaller, bool (*command)(Uninstaller&)) {
  if (!command(uninstaller)) {
    uninstaller.messageBox(kNotUninstalled, Buttons::Ok, Icon::None);
    return false;
  }
  pause(uninstaller, kPauseAfterServiceCommand);
  return true;
}

}  // namespace

Answer showMessageBox(const std::string& text, Buttons buttons, Icon icon) {
  QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, kTitle,
                  QString::fromStdString(text),
                  buttons == Buttons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok);
  return box.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
}

fs::path adminLockFile(const fs::path& programFolder) { return platform::consoleLockFile(programFolder); }

bool adminIsRunning(const Uninstaller& uninstaller) {
  return platform::InstanceLock::isHeld(adminLockFile(uninstaller.programFolder));
}

bool eventViewerIsRunning(const Uninstaller& uninstaller) {
  // The system log has no viewer window here that keeps TRAVIK's files open
  // (and an open file does not prevent its deletion), so unless a search is
  // installed the answer is no.
  return uninstaller.eventViewerWindowExists && uninstaller.eventViewerWindowExists();
}

int ExecCmd(Uninstaller& uninstaller, std::string_view commandLine) {
  // A trapped failure leaves -1, which every caller reads as a failed command.
  int result = -1;
  trap(uninstaller, "ExecCmd()", [&] { result = platform::runCommand(commandLine, uninstaller.programFolder); });
  return result;
}

bool cmdStopService(Uninstaller& uninstaller) { return runServiceCommand(uninstaller, kStopService); }

bool cmdUninstallService(Uninstaller& uninstaller) { return runServiceCommand(uninstaller, kUninstallService); }

void Main(Uninstaller& u) {
  constexpr const char* kProcedure = "Main()";

  // A lock that cannot be asked is reported; nothing then says a console runs.
  bool consoleRunning = false;
  trap(u, kProcedure, [&] { consoleRunning = adminIsRunning(u); });
  if (consoleRunning) {
    u.messageBox(kAdminRunning, Buttons::Ok, Icon::Warning);
    return;
  }

  const int state = getServiceState("", kServiceName);
  if (state == service_state::kStopped) {
    if (!agreed(u, kUninstallQuestion) || !serviceCommandDone(u, cmdUninstallService)) return;
  } else if (state >= service_state::kStartPending && state <= service_state::kPaused) {
    if (!agreed(u, kStopAndUninstallQuestion) || !serviceCommandDone(u, cmdStopService) ||
        !serviceCommandDone(u, cmdUninstallService))
      return;
  }
  // Not installed (or not readable): nothing to do for the service.

  if (eventViewerIsRunning(u)) u.messageBox(kEventViewerRunning, Buttons::Ok, Icon::Warning);

  // Only the default output folder in the program folder; a configured one
  // elsewhere holds the operator's files and stays.
  trap(u, kProcedure, [&] {
    const fs::path output = u.programFolder / "output";
    if (fs::is_directory(output)) deleteFolderTree(output);
  });
  trap(u, kProcedure, [&] {
    const fs::path lockFile = u.programFolder / "vrndata.ldb";
    if (fs::is_regular_file(lockFile)) fs::remove(lockFile);
  });
  trap(u, kProcedure, [&] {
    const bool present = u.registry.keyExists(kHkeyLocalMachine, kAdminKey);
    deleteRegistryKeyTree(u.registry, kHkeyLocalMachine, kAdminKey);
    // Folders that were empty before are not the uninstaller's to take.
    if (present) removeEmptiedKeyFolders(u.registry, kHkeyLocalMachine, kAdminKey);
  });

  bool started = false;
  trap(u, kProcedure, [&] {
    startSetupUninstaller(u);
    started = true;
  });
  if (!started) u.messageBox(kSetupUninstallerFailed, Buttons::Ok, Icon::Warning);
}

}  // namespace travik::uninstall
