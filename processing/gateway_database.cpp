#include "processing/gateway_database.h"

namespace travik {

std::unique_ptr<odbc::Connection> openGatewayConnection(const Program& program) {
  auto connection = std::make_unique<odbc::Connection>();
  connection->open(program.gatewayDataSource);
  return connection;
}

}  // namespace travik
