// Running a command line as a separate process, as the console runs its
// service tools INSTSRV and net.
#pragma once

#include <string_view>

namespace travik {

class Console;

// Runs the command and waits for its end; returns the exit code, or -1 when
// the program could not be started.  The first word names the program, looked
// up in the program folder first (the tools lie there), then on the search
// path.  Blocks the console until the command ends.
int ExecCmd(Console& console, std::string_view commandLine);

}  // namespace travik
