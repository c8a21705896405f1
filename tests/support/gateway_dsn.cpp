#include "tests/support/gateway_dsn.h"

#include <cstdlib>
#include <fstream>

namespace travik::test {

namespace fs = std::filesystem;

namespace {
std::string sqliteOdbcDriver() {
  for (const char* candidate : {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so",
                                "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so", "/usr/lib/odbc/libsqlite3odbc.so"})
    if (fs::exists(candidate)) return candidate;
  return "libsqlite3odbc.so";
}
}  // namespace

GatewayDsn::GatewayDsn(const fs::path& folder, const std::string& dsnName)
    : name_(dsnName), file_(folder / (dsnName + ".db")) {
  fs::create_directories(folder);
  db_.create(file_.string());
  db_.exec(
      "CREATE TABLE systemparameters (propname TEXT, propvalue TEXT);"
      "CREATE TABLE octelnode (serialno TEXT);"
      "CREATE TABLE directory (serialno TEXT, mailboxno TEXT, lastreferenced TEXT, entrytype INTEGER);");
  {
    std::ofstream drivers(folder / "odbcinst.ini");
    drivers << "[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=" << sqliteOdbcDriver() << "\nUsageCount=1\nDontDLClose=1\n";
  }
  {
    std::ofstream sources(folder / "odbc.ini");
    sources << "[" << name_ << "]\nDriver=SQLite3\nDatabase=" << file_.string() << "\nTimeout=2000\n";
  }
  ::setenv("ODBCSYSINI", folder.c_str(), 1);
  ::setenv("ODBCINI", (folder / "odbc.ini").c_str(), 1);
}

}  // namespace travik::test
