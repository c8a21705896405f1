#include "processing/gateway/gateway_database.h"

namespace travik {

std::unique_ptr<odbc::Connection> openGatewayConnection(const Program& program) {
  auto connection = std::make_unique<odbc::Connection>();
  connection->open(program.gatewayDataSource, 15, program.gatewayQueryTimeoutSeconds);
  // A connection to a locked database can take the whole timeout.
  program.host.honourStop();
  return connection;
}

}  // namespace travik
