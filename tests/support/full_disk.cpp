#include "tests/support/full_disk.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace travik::test {

namespace {

constexpr int kCannot = 77;

bool writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

bool writeFileText(const char* file, const std::string& text) {
  const int fd = ::open(file, O_WRONLY);
  if (fd < 0) return false;
  const bool ok = writeAll(fd, text);
  ::close(fd);
  return ok;
}

// In the child: a mount namespace of its own (through a user namespace when
// not root) whose mounts are private to it.
std::optional<std::string> makePrivateMounts() {
  const uid_t uid = ::geteuid();
  const gid_t gid = ::getegid();
  if (::unshare(CLONE_NEWNS) != 0) {
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
      return std::string("no mount namespace for an unprivileged user: ") + std::strerror(errno);
    writeFileText("/proc/self/setgroups", "deny");
    if (!writeFileText("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1\n") ||
        !writeFileText("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1\n"))
      return std::string("cannot map the user into its namespace: ") + std::strerror(errno);
  }
  if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    return std::string("cannot make the mounts private: ") + std::strerror(errno);
  return std::nullopt;
}

// A 64 KiB tmpfs over folder, and a file filling it.
std::optional<std::string> makeFullDisk(const std::filesystem::path& folder) {
  if (auto cannot = makePrivateMounts()) return cannot;
  if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k,mode=0777") != 0)
    return std::string("cannot mount a tmpfs: ") + std::strerror(errno);
  const int fd = ::open((folder / "filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return std::string("cannot create the filler: ") + std::strerror(errno);
  const std::string block(4096, 'f');
  while (writeAll(fd, block)) {
  }
  ::close(fd);
  return std::nullopt;
}

// folder bound over itself, read-only.
std::optional<std::string> makeReadOnly(const std::filesystem::path& folder) {
  if (auto cannot = makePrivateMounts()) return cannot;
  if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0)
    return std::string("cannot bind the folder: ") + std::strerror(errno);
  if (::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
    return std::string("cannot make the folder read-only: ") + std::strerror(errno);
  return std::nullopt;
}

FullDiskRun inOwnMounts(const std::function<std::optional<std::string>()>& prepare,
                        const std::function<std::string()>& body);

}  // namespace

FullDiskRun onFullDisk(const std::filesystem::path& folder, const std::function<std::string()>& body) {
  return inOwnMounts([&] { return makeFullDisk(folder); }, body);
}

FullDiskRun onReadOnlyFolder(const std::filesystem::path& folder, const std::function<std::string()>& body) {
  return inOwnMounts([&] { return makeReadOnly(folder); }, body);
}

namespace {

FullDiskRun inOwnMounts(const std::function<std::optional<std::string>()>& prepare,
                        const std::function<std::string()>& body) {
  FullDiskRun run;
  int channel[2];
  if (::pipe2(channel, O_CLOEXEC) != 0) {
    run.cannot = "no pipe";
    return run;
  }
  const pid_t child = ::fork();
  if (child < 0) {
    run.cannot = "cannot fork";
    return run;
  }
  if (child == 0) {
    ::close(channel[0]);
    int code = 0;
    std::string text;
    if (auto cannot = prepare()) {
      code = kCannot;
      text = *cannot;
    } else {
      text = body();
    }
    writeAll(channel[1], text);
    ::close(channel[1]);
    ::_exit(code);
  }
  ::close(channel[1]);
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(channel[0], buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    run.output.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(channel[0]);
  ::waitpid(child, &run.exitStatus, 0);
  if (WIFEXITED(run.exitStatus) && WEXITSTATUS(run.exitStatus) == kCannot) {
    run.cannot = run.output;
    run.output.clear();
  }
  return run;
}

}  // namespace

}  // namespace travik::test
