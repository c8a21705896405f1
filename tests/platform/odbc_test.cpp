#include "platform/odbc.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/gateway_dsn.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

TEST(Odbc, ReadsAndWritesTheGatewayThroughTheDataSourceWithBoundValues) {
  test::TempFolder folder;
  test::GatewayDsn gateway(folder.path());
  odbc::Connection connection;
  connection.open(gateway.name());
  connection.execute("insert into systemparameters (propname, propvalue) values (?, ?)",
                     {"CALL_TRACING_LEVEL", "O'Brien"});
  auto rows = connection.execute("select * from systemparameters where propname = ?", {"CALL_TRACING_LEVEL"});
  ASSERT_TRUE(rows.fetch());
  EXPECT_EQ(rows.getText("PROPVALUE").value_or("<null>"), "O'Brien");
  EXPECT_FALSE(rows.fetch());
}

TEST(Odbc, AMissingDataSourceIsAnErrorWithTheDriverManagersText) {
  test::TempFolder folder;
  test::GatewayDsn gateway(folder.path());
  odbc::Connection connection;
  try {
    connection.open("no-such-source");
    FAIL() << "connected to a missing data source";
  } catch (const odbc::OdbcError& e) {
    // The source by its name and where it was looked up, then the driver manager's text.
    const std::string text = e.what();
    const std::string odbcIni = std::getenv("ODBCINI") ? std::getenv("ODBCINI") : "";
    EXPECT_EQ(text.rfind("Cannot connect to data source \"no-such-source\" (looked up in " + odbcIni + " and ", 0), 0u)
        << text;
    EXPECT_GT(text.size(), text.find("): ") + 3) << text;
  }
  EXPECT_FALSE(connection.isOpen());
}

}  // namespace
}  // namespace travik
