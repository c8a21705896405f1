// A real program started by a test: its standard output and error in files,
// its environment the test's with changes, its end awaited with a bound.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace travik::test {

struct ChildProcess {
  std::vector<std::string> arguments;  // the program first
  // Environment changes: a value sets the variable, nullopt removes it.
  std::map<std::string, std::optional<std::string>> environment;
  std::filesystem::path standardOutput;
  std::filesystem::path standardError;  // may be the same file as standardOutput
  std::filesystem::path workingFolder;  // empty: the test's own

  // Starts the program; the process id, or -1.
  pid_t start() const;
};

struct ChildEnd {
  bool ended = false;  // false: still running at the bound, and killed
  int exitCode = -1;   // -1 when ended by a signal
  int signal = 0;
};

// Waits for the process to end, at most `bound`; kills it past the bound.
ChildEnd waitForEnd(pid_t pid, std::chrono::milliseconds bound);

// Starts, waits (bounded) and returns the end.
ChildEnd runToEnd(const ChildProcess& process, std::chrono::milliseconds bound);

// Every entry under a folder, relative to it, with a checksum of each file's
// bytes, its size and its mode: equal snapshots mean nothing there changed.
std::map<std::string, std::string> folderSnapshot(const std::filesystem::path& folder);

}  // namespace travik::test
