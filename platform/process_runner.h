// Running a command line as a separate process and waiting for its end
// (posix_spawn + waitpid), as the console runs its service tools.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace travik::platform {

// Splits a command line into words: blanks separate, double quotes group.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

// Runs the command and returns its exit code; -1 when the program cannot be
// started or does not end normally.  The first word names the program: looked
// up in programFolder first, then on the search path.  Blocks until the end.
int runCommand(std::string_view commandLine, const std::filesystem::path& programFolder);

// Starts the command as runCommand does and does not wait for its end: the
// process id, or -1 when the program cannot be started.
int startCommand(std::string_view commandLine, const std::filesystem::path& programFolder);

// Runs a program with arguments and returns its standard output; exit code in *exitCode.
std::string captureOutput(const std::vector<std::string>& arguments, int* exitCode);

}  // namespace travik::platform
