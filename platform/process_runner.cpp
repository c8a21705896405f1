#include "platform/process_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace travik::platform {

namespace fs = std::filesystem;

std::vector<std::string> splitCommandLine(std::string_view commandLine) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false, inWord = false;
  for (char c : commandLine) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

namespace {

// The program folder first, then the search path (the original's lookup order
// put the program's own folder first too).
std::string locateProgram(const std::string& name, const fs::path& programFolder) {
  if (name.find('/') != std::string::npos) return name;
  std::error_code ec;
  const fs::path own = programFolder / name;
  if (!programFolder.empty() && fs::is_regular_file(own, ec) && ::access(own.c_str(), X_OK) == 0) return own.string();
  return name;  // posix_spawnp searches PATH
}

int waitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int startCommand(std::string_view commandLine, const fs::path& programFolder) {
  std::vector<std::string> words = splitCommandLine(commandLine);
  if (words.empty()) return -1;
  words[0] = locateProgram(words[0], programFolder);
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

int runCommand(std::string_view commandLine, const fs::path& programFolder) {
  const int pid = startCommand(commandLine, programFolder);
  return pid < 0 ? -1 : waitFor(pid);
}

std::string captureOutput(const std::vector<std::string>& arguments, int* exitCode) {
  if (exitCode) *exitCode = -1;
  if (arguments.empty()) return "";
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return "";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> words = arguments;
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  std::string output;
  if (rc == 0) {
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
      if (n > 0) {
        output.append(buffer, static_cast<std::size_t>(n));
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        break;
      }
    }
  }
  ::close(pipeFds[0]);
  if (rc != 0) return "";
  const int code = waitFor(pid);
  if (exitCode) *exitCode = code;
  return output;
}

}  // namespace travik::platform
