#include "processing/reports/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "processing/runtime/handled_error.h"

namespace travik {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBufferBytes = 1 << 16;

// The process's umask, read without setting it: setting it, even for a
// moment, would apply to every file another thread makes meanwhile.  Where
// the kernel does not show it, nothing beyond the owner is granted.
mode_t processUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (!line.starts_with("Umask:")) continue;
    try {
      return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8) & 0777);
    } catch (const std::exception&) {
      break;
    }
  }
  return 077;
}

}  // namespace

void throwFileError(int code, const fs::path& file) {
  if (code == ENOENT || code == ENOTDIR)
    throw HandledError(error_number::kPathNotFound, "Path not found: " + file.string());
  if (code == EACCES || code == EPERM || code == EROFS)
    throw HandledError(error_number::kPermissionDenied, "Permission denied: " + file.string());
  if (code == ENOSPC || code == EDQUOT) throw HandledError(error_number::kDiskFull, "Disk full: " + file.string());
  throw HandledError(error_number::kPathFileAccess, "Path/File access error: " + file.string());
}

OutputFile::OutputFile(fs::path finalName) : finalName_(std::move(finalName)) {
  std::string pattern = (finalName_.parent_path() / ("." + finalName_.filename().string() + ".XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) throwFileError(errno, finalName_);
  temporaryName_ = name.data();
  // mkstemp makes the file private; a report is as readable as any file we create.
  ::fchmod(fd_, 0666 & ~processUmask());
  buffer_.reserve(kBufferBytes);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !temporaryName_.empty()) ::unlink(temporaryName_.c_str());
}

void OutputFile::fail(int code) const { throwFileError(code, finalName_); }

void OutputFile::flushBuffer() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t wrote = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    done += static_cast<std::size_t>(wrote);
  }
  buffer_.clear();
}

void OutputFile::write(std::string_view text) {
  if (fd_ < 0) fail(EBADF);
  buffer_ += text;
  if (buffer_.size() >= kBufferBytes) flushBuffer();
}

void OutputFile::commit() {
  if (fd_ < 0) fail(EBADF);
  flushBuffer();
  // On disk before it carries its name, so that a crash cannot leave an
  // empty or cut file under it.
  if (::fdatasync(fd_) != 0) fail(errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) fail(errno);
  if (::rename(temporaryName_.c_str(), finalName_.c_str()) != 0) fail(errno);
  committed_ = true;
}

}  // namespace travik
