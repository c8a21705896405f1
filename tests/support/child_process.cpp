#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <thread>

extern char** environ;

namespace travik::test {

namespace fs = std::filesystem;

pid_t ChildProcess::start() const {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    if (environment.count(name) == 0) entries.push_back(text);
  }
  for (const auto& [name, value] : environment)
    if (value) entries.push_back(name + "=" + *value);
  std::vector<char*> envp;
  for (auto& entry : entries) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> words = arguments;
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, standardOutput.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (standardError == standardOutput)
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  else
    posix_spawn_file_actions_addopen(&actions, 2, standardError.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (!workingFolder.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

ChildEnd waitForEnd(pid_t pid, std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  ChildEnd end;
  int status = 0;
  for (;;) {
    if (::waitpid(pid, &status, WNOHANG) == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return end;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  end.ended = true;
  if (WIFEXITED(status)) end.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) end.signal = WTERMSIG(status);
  return end;
}

ChildEnd runToEnd(const ChildProcess& process, std::chrono::milliseconds bound) {
  const pid_t pid = process.start();
  if (pid <= 0) return {};
  return waitForEnd(pid, bound);
}

std::map<std::string, std::string> folderSnapshot(const fs::path& folder) {
  std::map<std::string, std::string> snapshot;
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
    const std::string name = it->path().lexically_relative(folder).string();
    struct stat info {};
    ::lstat(it->path().c_str(), &info);
    std::string entry = "mode " + std::to_string(info.st_mode);
    if (it->is_regular_file() && !it->is_symlink()) {
      // FNV-1a over the bytes.
      std::uint64_t hash = 1469598103934665603ull;
      std::ifstream in(it->path(), std::ios::binary);
      char buffer[65536];
      while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        for (std::streamsize i = 0; i < in.gcount(); ++i) {
          hash ^= static_cast<unsigned char>(buffer[i]);
          hash *= 1099511628211ull;
        }
        if (!in) break;
      }
      entry += " size " + std::to_string(info.st_size) + " fnv " + std::to_string(hash);
    }
    snapshot[name] = entry;
  }
  return snapshot;
}

}  // namespace travik::test
