// A report or export file being written.
//
// The file is written under a temporary name in its folder (a leading point
// and a random suffix, so no report pattern and no trace-file pattern takes
// it) and renamed to its own name only when it is complete and on disk.  A
// file under a report's name is therefore always whole: a full disk, a
// failing read of the selection or a stop of the program leaves the
// temporary file, which is removed, and at worst nothing under the name.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace travik {

class OutputFile {
 public:
  // Creates the temporary file beside finalName; throws a HandledError when it cannot.
  explicit OutputFile(std::filesystem::path finalName);
  // Removes the temporary file unless it was committed.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Appends text; throws a HandledError when the write fails.
  void write(std::string_view text);
  // Writes what is buffered, puts the file on disk and gives it its own name,
  // replacing a file of that name; throws a HandledError when any step fails.
  void commit();

  const std::filesystem::path& finalName() const { return finalName_; }

 private:
  void flushBuffer();
  [[noreturn]] void fail(int code) const;

  std::filesystem::path finalName_;
  std::filesystem::path temporaryName_;
  int fd_ = -1;
  std::string buffer_;
  bool committed_ = false;
};

// The handled error of a failing file operation on file, from its errno.
[[noreturn]] void throwFileError(int code, const std::filesystem::path& file);

}  // namespace travik
