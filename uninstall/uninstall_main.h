// The uninstaller's start procedure and the service commands it runs.
//
// One pass: refuse while a console runs; stop and remove the processing
// service after asking the operator; delete the console's working files in the
// program folder and its registry key; start the setup uninstaller, which
// removes the program files that the setup log lists.  Every step that fails is shown to the
// operator as an error report line and the pass goes on with the next step;
// nothing is logged or counted.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "platform/key_store.h"
#include "uninstall/frm_wait.h"

namespace travik::uninstall {

enum class Buttons { Ok, OkCancel };
enum class Icon { None, Warning };
enum class Answer { Ok, Cancel };

// A message box titled "TRAVIK"; returns the button the operator chose.
using MessageBoxHook = std::function<Answer(const std::string& text, Buttons buttons, Icon icon)>;

// The modal Qt message box, the hook's default.
Answer showMessageBox(const std::string& text, Buttons buttons, Icon icon);

// What one run of the uninstaller works with.  The hooks stand at the
// platform's edge (the operator, the clock, the window search); tests replace
// them so that nothing blocks or waits.
struct Uninstaller {
  Uninstaller(std::filesystem::path programFolder, FrmWait& frmWait)
      : programFolder(std::move(programFolder)), registry(this->programFolder / "registry"), frmWait(frmWait) {}

  const std::filesystem::path programFolder;  // the folder of the uninstaller's own program file
  const platform::KeyStore registry;          // the program folder's key store
  FrmWait& frmWait;                           // shown while a service command runs
  MessageBoxHook messageBox = showMessageBox;
  std::function<void(int milliseconds)> sleep;    // a real pause by default
  std::function<bool()> eventViewerWindowExists;  // the window search behind eventViewerIsRunning
  int setupUninstallerProcess = -1;               // the started st6unst, for a caller that waits for it
};

// The start procedure; every path returns to main(), which ends the program.
void Main(Uninstaller& uninstaller);

// "net stop TRAVIKservice.exe"; true when it ends with 0.
bool cmdStopService(Uninstaller& uninstaller);
// "INSTSRV TRAVIKservice.exe REMOVE"; true when it ends with 1.
bool cmdUninstallService(Uninstaller& uninstaller);
// Runs the command line from the program folder and waits for its end
// without a time limit; the exit code, -1 when it cannot be started.
int ExecCmd(Uninstaller& uninstaller, std::string_view commandLine);

// True when a console runs on this program folder (it holds its lock).
bool adminIsRunning(const Uninstaller& uninstaller);
// True when an "Event Viewer" window is open.
bool eventViewerIsRunning(const Uninstaller& uninstaller);

// The lock file a running console holds.
std::filesystem::path adminLockFile(const std::filesystem::path& programFolder);

}  // namespace travik::uninstall
