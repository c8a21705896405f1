#include "admin/console/exec_cmd.h"

#include "admin/console/console.h"
#include "processing/runtime/error_handling.h"

namespace travik {

int ExecCmd(Console& console, std::string_view commandLine) {
  int result = -1;
  guard(console.program, "ExecCmd()",
        [&] { result = console.platform.runCommand(commandLine, console.program.programFolder); });
  return result;
}

}  // namespace travik
