// Every test program takes its program locks in a folder of its own, made
// when it starts and removed when it ends, so no test run leaves a lock file
// in the machine's lock folder or meets the locks of another run.  Programs
// the tests start inherit the folder; a test program started by another
// test program keeps its parent's, so both see the same locks.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

constexpr const char* kLockFolder = "TRAVIK_LOCK_DIR";
// The process that made the folder, and so removes it.
constexpr const char* kOwner = "TRAVIK_TEST_LOCK_DIR_OWNER";

std::string madeFolder;
pid_t maker = 0;

void removeFolder() {
  // A forked child that exits runs this too; the folder is still its parent's.
  if (::getpid() != maker) return;
  std::error_code ignored;
  std::filesystem::remove_all(madeFolder, ignored);
}

const bool kOwnLockFolder = [] {
  const char* folder = std::getenv(kLockFolder);
  if (folder && *folder && std::getenv(kOwner) && std::filesystem::is_directory(folder)) return true;
  std::error_code error;
  std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) base = "/tmp";
  std::string pattern = (base / "travik-test-locks-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) std::abort();
  madeFolder = pattern;
  maker = ::getpid();
  ::setenv(kLockFolder, madeFolder.c_str(), 1);
  ::setenv(kOwner, std::to_string(::getpid()).c_str(), 1);
  std::atexit(removeFolder);
  return true;
}();

}  // namespace
