// The gateway's own database, reached through the ODBC data source "mervale".
//
// A connection is opened anew for each use and closed at its end; the system
// never creates the data source, its tables or its columns.
#pragma once

#include <memory>

#include "platform/odbc.h"
#include "processing/runtime/program.h"

namespace travik {

// Opens a connection to the gateway's data source (Program::gatewayDataSource);
// throws odbc::OdbcError when it cannot be reached.
std::unique_ptr<odbc::Connection> openGatewayConnection(const Program& program);

}  // namespace travik
