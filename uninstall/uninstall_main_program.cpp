// The program TRAVIKuninstall: removes TRAVIK from this server.
//
// It has no main window: it talks to the operator through message boxes and
// the wait window, and ends when its one pass is over.
#include <QApplication>
#include <cstdio>
#include <filesystem>

#include "platform/windowing.h"
#include "uninstall/frm_wait.h"
#include "uninstall/uninstall_main.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  travik::platform::useDialogLook();
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    std::fprintf(stderr, "TRAVIKuninstall: cannot find the program folder: %s\n", error.message().c_str());
    return 1;
  }
  travik::uninstall::FrmWait frmWait;
  travik::uninstall::Uninstaller uninstaller(executable.parent_path(), frmWait);
  travik::uninstall::Main(uninstaller);
  return 0;
}
