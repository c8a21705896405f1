#include "tests/support/gateway_dsn.h"

#include <dlfcn.h>

#include <cstdlib>
#include <fstream>

// The SQLite ODBC driver reads the data source through unixODBC's ini reader,
// which keeps what it read until the process ends.  That memory is theirs, not
// ours, so LeakSanitizer ignores it; the reader is kept loaded (see below) so
// its frames can be told apart from ours.  Weak, so that a test program with
// more foreign caches to ignore can give the whole list itself.
extern "C" __attribute__((used, weak)) const char* __lsan_default_suppressions() {
  return "leak:libodbcinst.so\nleak:libsqlite3odbc.so\n";
}

namespace travik::test {

namespace fs = std::filesystem;

namespace {
int instances = 0;  // data sources declared by this process
}  // namespace

GatewayDsn::GatewayDsn(const fs::path& folder, const std::string& dsnName)
    : name_(dsnName + "-" + std::to_string(++instances)), file_(folder / (name_ + ".db")) {
  // The driver loads the ini reader itself and unloads it with itself; held
  // here, it stays mapped, so leak reports can name it.  It then remembers
  // what it read for the life of the process, hence a new name per instance.
  static void* const iniReader = ::dlopen("libodbcinst.so.2", RTLD_NOW | RTLD_NODELETE);
  (void)iniReader;
  fs::create_directories(folder);
  db_.create(file_.string());
  db_.exec(
      "CREATE TABLE systemparameters (propname TEXT, propvalue TEXT);"
      "CREATE TABLE octelnode (serialno TEXT);"
      "CREATE TABLE directory (serialno TEXT, mailboxno TEXT, lastreferenced TEXT, entrytype INTEGER);");
  // The driver is the test program's (tests/support/own_folders).
  std::ofstream(folder / "odbc.ini") << "[" << name_ << "]\nDriver=SQLite3\nDatabase=" << file_.string()
                                     << "\nTimeout=2000\n";
  ::setenv("ODBCINI", (folder / "odbc.ini").c_str(), 1);
}

void GatewayDsn::lock() {
  // With a rollback journal a writer keeps readers out too, as the gateway's
  // own database engine does while it writes.
  db_.exec("PRAGMA journal_mode=DELETE");
  db_.exec("BEGIN EXCLUSIVE");
  db_.exec("insert into octelnode (serialno) values ('locked')");
}

void GatewayDsn::unlock() { db_.exec("ROLLBACK"); }

}  // namespace travik::test
