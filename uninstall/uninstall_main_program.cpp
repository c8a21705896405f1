// The program TRAVIKuninstall: removes TRAVIK from this server.
//
// It has no main window: it talks to the operator through message boxes and
// the wait window, and ends when its one pass is over.  Its exit statuses are
// the console's for the same causes: 0 the pass ran, 1 no program folder, 2 a
// command line it does not understand, 8 no display to show its windows on.
#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "platform/command_line.h"
#include "platform/windowing.h"
#include "uninstall/frm_wait.h"
#include "uninstall/uninstall_main.h"

namespace {
constexpr int kNoDisplay = 8;
}  // namespace

int main(int argc, char* argv[]) {
  // Answered before Qt looks for a display, and before anything is removed.
  const travik::platform::ProgramUsage usage{
      "TRAVIKuninstall",
      "Removes TRAVIK from this server: stops and removes the TRAVIK service (after\n"
      "asking), deletes the console's registry key and the folder \"output\" of its\n"
      "program folder (the folder of this program), and starts st6unst, which removes\n"
      "the program files that st6unst.log lists. The database vrndata.mdb stays.",
      true};
  if (const auto status = travik::platform::answerCommandLine(argc, argv, usage, std::cout, std::cerr)) return *status;
  const auto application = travik::platform::openApplication(argc, argv, "TRAVIKuninstall", kNoDisplay);
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
