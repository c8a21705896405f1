// Build tool: creates the delivered vrndata.mdb from schema.sql, only when no
// database is there yet (an existing database is never overwritten, nor its
// mode changed).  A file in its place that is not a database of this program
// is refused, not kept silently: the programs would only fail on it later.
// The new file grants other accounts nothing, whatever the umask: it holds
// every call, and an account that may open it may also lock it and stall
// processing.  SQLite gives its -wal and -shm files the database's mode.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <system_error>

#include "platform/command_line.h"
#include "platform/db.h"

namespace {

namespace fs = std::filesystem;

// Why the existing file is not a database of this program, or empty when it
// is one (of any schema version: the programs bring it up to date).  Only
// read, never created; opened for writing like the programs open it, so that
// SQLite leaves no -wal or -shm file of its own beside a database in WAL mode.
std::string whyNotADatabase(const fs::path& file) {
  sqlite3* handle = nullptr;
  int rc = sqlite3_open_v2(file.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr);
  sqlite3_stmt* query = nullptr;
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(handle, 10000);
    rc = sqlite3_prepare_v2(handle, "select property, value from applicationparameters", -1, &query, nullptr);
  }
  std::string reason = rc == SQLITE_OK ? "" : handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc);
  sqlite3_finalize(query);
  sqlite3_close(handle);
  return reason;
}

// An empty file of mode 0660 for SQLite to fill: a mode set from the start,
// not after the data is in.
void createOwnerAndGroupOnly(const fs::path& file) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0 || ::fchmod(fd, 0660) != 0) {
    const int error = errno;
    if (fd >= 0) ::close(fd);
    throw fs::filesystem_error("cannot create", file, std::error_code(error, std::generic_category()));
  }
  ::close(fd);
}

int makeDatabase(const fs::path& schemaFile, const fs::path& target) {
  if (fs::exists(target)) {
    const std::string reason = whyNotADatabase(target);
    if (reason.empty()) return 0;
    std::cerr << "make_database: " << target.string() << " is not a TRAVIK database (" << reason
              << "); left as it is\n";
    return 1;
  }
  std::ifstream in(schemaFile);
  if (!in) {
    std::cerr << "make_database: cannot read " << schemaFile.string() << "\n";
    return 1;
  }
  std::stringstream schema;
  schema << in.rdbuf();
  if (target.has_parent_path()) fs::create_directories(target.parent_path());
  const fs::path temp = target.string() + ".new";
  fs::remove(temp);
  try {
    createOwnerAndGroupOnly(temp);
    travik::db::Connection db;
    db.create(temp.string());
    db.exec("BEGIN");
    db.exec(schema.str());
    db.exec("COMMIT");
    db.close();
    fs::rename(temp, target);
  } catch (...) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    throw;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before any file is looked at: a mistyped option is never taken
  // for the database's name.
  const travik::platform::ProgramUsage usage{
      "make_database",
      "Makes the delivered TRAVIK database DATABASE (vrndata.mdb) from SCHEMA.SQL when\n"
      "no file is there; a database already there is left as it is, and a file there\n"
      "that is not one is refused with status 1.",
      false,
      {"SCHEMA.SQL", "DATABASE"}};
  if (const auto status = travik::platform::answerCommandLine(argc, argv, usage, std::cout, std::cerr)) return *status;
  try {
    return makeDatabase(argv[argc - 2], argv[argc - 1]);
  } catch (const std::exception& e) {
    std::cerr << "make_database: " << e.what() << "\n";
    return 1;
  }
}
