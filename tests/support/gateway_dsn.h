// A real ODBC data source for tests: an SQLite file holding the gateway's
// tables, reached through the SQLite ODBC driver under a DSN declared in a
// temporary user file (ODBCINI); the driver is declared in the test program's
// own folder (tests/support/own_folders).
#pragma once

#include <filesystem>
#include <string>

#include "platform/db.h"

namespace travik::test {

class GatewayDsn {
 public:
  // Creates systemparameters, octelnode and directory in a fresh file and
  // declares a data source over it, named dsnName with a number of its own
  // appended (unixODBC's ini reader remembers what it read per name).
  explicit GatewayDsn(const std::filesystem::path& folder, const std::string& dsnName = "mervale-test");
  const std::string& name() const { return name_; }
  // Direct access to the gateway's file, to arrange and check rows.
  db::Connection& db() { return db_; }
  const std::filesystem::path& file() const { return file_; }
  // Holds the gateway's file locked, as another program writing it would:
  // every connection of the data source then waits out its busy timeout.
  void lock();
  void unlock();

 private:
  std::string name_;
  std::filesystem::path file_;
  db::Connection db_;
};

}  // namespace travik::test
