// Every test program has a folder of its own, made when it starts and removed
// when it ends, for what would otherwise be the machine's:
// - locks/: its program locks, so no test run leaves a lock file in the
//   machine's lock folder or meets the locks of another run;
// - odbc/: the ODBC driver manager's system configuration (ODBCSYSINI), which
//   declares the SQLite ODBC driver.  unixODBC reads where that configuration
//   lies once per process, at its first lookup, and keeps it: a test that
//   points ODBCSYSINI elsewhere later is not heard, and one that points it at
//   a folder it then removes leaves every later data source without its
//   driver.  Each data source is declared in a user file (ODBCINI), which is
//   read at every lookup (tests/support/gateway_dsn).
// Programs the tests start inherit the folder; a test program started by
// another test program keeps its parent's, so both see the same locks.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace {

namespace fs = std::filesystem;

constexpr const char* kLockFolder = "TRAVIK_LOCK_DIR";
// The process that made the folder, and so removes it.
constexpr const char* kOwner = "TRAVIK_TEST_LOCK_DIR_OWNER";

std::string madeFolder;
pid_t maker = 0;

void removeFolder() {
  // A forked child that exits runs this too; the folder is still its parent's.
  if (::getpid() != maker) return;
  std::error_code ignored;
  fs::remove_all(madeFolder, ignored);
}

std::string sqliteOdbcDriver() {
  for (const char* candidate : {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so",
                                "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so", "/usr/lib/odbc/libsqlite3odbc.so"})
    if (fs::exists(candidate)) return candidate;
  return "libsqlite3odbc.so";
}

void declareOdbcDriver(const fs::path& odbc) {
  fs::create_directories(odbc);
  std::ofstream(odbc / "odbcinst.ini") << "[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=" << sqliteOdbcDriver()
                                       << "\nUsageCount=1\nDontDLClose=1\n";
  // No data source of the machine's user is seen until a test declares its own.
  std::ofstream(odbc / "odbc.ini").flush();
  ::setenv("ODBCSYSINI", odbc.c_str(), 1);
  ::setenv("ODBCINI", (odbc / "odbc.ini").c_str(), 1);
}

const bool kOwnFolders = [] {
  const char* folder = std::getenv(kLockFolder);
  if (folder && *folder && std::getenv(kOwner) && fs::is_directory(folder)) return true;
  std::error_code error;
  fs::path base = fs::temp_directory_path(error);
  if (error) base = "/tmp";
  std::string pattern = (base / "travik-test-run-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) std::abort();
  madeFolder = pattern;
  maker = ::getpid();
  std::atexit(removeFolder);
  const fs::path locks = fs::path(madeFolder) / "locks";
  fs::create_directories(locks);
  ::setenv(kLockFolder, locks.c_str(), 1);
  ::setenv(kOwner, std::to_string(::getpid()).c_str(), 1);
  declareOdbcDriver(fs::path(madeFolder) / "odbc");
  return true;
}();

}  // namespace
