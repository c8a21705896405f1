#include "platform/odbc.h"

#include <strings.h>

#include <cstdint>
#include <cstdlib>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace travik::odbc {

namespace {

// The driver's diagnostic when there is one, else what failed; with
// keepWhat, what failed and then the diagnostic.
[[noreturn]] void fail(SQLSMALLINT handleType, SQLHANDLE handle, const std::string& what, bool keepWhat = false) {
  SQLCHAR state[6] = {0};
  SQLINTEGER native = 0;
  SQLCHAR text[1024] = {0};
  SQLSMALLINT length = 0;
  std::string message = what;
  std::string sqlState;
  if (handle != SQL_NULL_HANDLE &&
      SQL_SUCCEEDED(SQLGetDiagRec(handleType, handle, 1, state, &native, text, sizeof text, &length))) {
    sqlState = reinterpret_cast<char*>(state);
    const std::string diagnostic(reinterpret_cast<char*>(text));
    message = keepWhat ? what + ": " + diagnostic : diagnostic;
  }
  throw OdbcError(native, sqlState, message);
}

// Where unixODBC looks a data source up: the user's odbc.ini, then the system's.
std::string configurationFiles() {
  const char* user = std::getenv("ODBCINI");
  const char* home = std::getenv("HOME");
  const char* system = std::getenv("ODBCSYSINI");
  const std::string userFile = user ? user : std::string(home ? home : "~") + "/.odbc.ini";
  const std::string systemFile = std::string(system ? system : "/etc") + "/odbc.ini";
  return userFile + " and " + systemFile;
}

void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* what) {
  if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) fail(handleType, handle, what);
}

}  // namespace

Connection::Connection() {
  check(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_), SQL_HANDLE_ENV, SQL_NULL_HANDLE,
        "Cannot allocate the ODBC environment");
  check(SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0), SQL_HANDLE_ENV, env_,
        "Cannot select ODBC 3");
}

Connection::~Connection() {
  close();
  if (env_ != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

void Connection::open(const std::string& dataSource, int loginTimeoutSeconds, int queryTimeoutSeconds) {
  close();
  queryTimeoutSeconds_ = queryTimeoutSeconds;
  check(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_), SQL_HANDLE_ENV, env_, "Cannot allocate an ODBC connection");
  SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(loginTimeoutSeconds)), 0);
  // The query timeout is what a driver should honour.  The SQLite driver
  // accepts SQL_ATTR_QUERY_TIMEOUT but ignores it and waits for a locked
  // database as long as its own busy timeout, "Timeout" in milliseconds
  // (100 s unless the data source says otherwise), also while it connects.
  // A keyword of the connection string outranks the data source's, and
  // drivers ignore keywords they do not know.
  std::string text = "DSN=" + dataSource + ";Timeout=" + std::to_string(std::int64_t{queryTimeoutSeconds} * 1000);
  SQLCHAR completed[1024];
  SQLSMALLINT completedLength = 0;
#if defined(__SANITIZE_ADDRESS__)
  // The SQLite driver loads the installer library itself and unloads it with
  // its profile cache still allocated; that is none of ours to report.
  __lsan::ScopedDisabler driverAllocations;
#endif
  const SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS, completed,
                                        sizeof completed, &completedLength, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) {
    try {
      // The data source and where it was looked up: the operator mends the
      // configuration, and needs to know which one.
      fail(SQL_HANDLE_DBC, dbc_,
           "Cannot connect to data source \"" + dataSource + "\" (looked up in " + configurationFiles() + ")", true);
    } catch (...) {
      SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
      dbc_ = SQL_NULL_HDBC;
      throw;
    }
  }
  connected_ = true;
}

void Connection::close() noexcept {
  if (dbc_ != SQL_NULL_HDBC) {
    if (connected_) SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    dbc_ = SQL_NULL_HDBC;
  }
  connected_ = false;
}

Statement Connection::prepare(std::string_view sql) {
  if (!connected_) throw OdbcError(0, "08003", "Operation is not allowed when the object is closed.");
  Statement statement(dbc_, queryTimeoutSeconds_);
  std::string text(sql);
  check(SQLPrepare(statement.stmt_, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS), SQL_HANDLE_STMT, statement.stmt_,
        "Cannot prepare statement");
  return statement;
}

Statement Connection::execute(std::string_view sql, const std::vector<std::string>& parameters) {
  Statement statement = prepare(sql);
  statement.execute(parameters);
  return statement;
}

Statement::Statement(SQLHDBC dbc, int queryTimeoutSeconds) {
  check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt_), SQL_HANDLE_DBC, dbc, "Cannot allocate an ODBC statement");
  // Optional for a driver: one that cannot keep it says so, and the statement runs on.
  SQLSetStmtAttr(stmt_, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(queryTimeoutSeconds)),
                 0);
}

Statement::Statement(Statement&& other) noexcept
    : stmt_(std::exchange(other.stmt_, static_cast<SQLHSTMT>(nullptr))),
      columns_(std::move(other.columns_)),
      boundValues_(std::move(other.boundValues_)),
      boundLengths_(std::move(other.boundLengths_)) {}

Statement::~Statement() {
  if (stmt_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
}

void Statement::execute(const std::vector<std::string>& parameters) {
  SQLFreeStmt(stmt_, SQL_CLOSE);
  boundValues_ = parameters;
  boundLengths_.assign(parameters.size(), 0);
  for (std::size_t i = 0; i < boundValues_.size(); ++i) {
    boundLengths_[i] = static_cast<SQLLEN>(boundValues_[i].size());
    const SQLULEN columnSize = boundValues_[i].empty() ? 1 : boundValues_[i].size();
    check(
        SQLBindParameter(stmt_, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, columnSize,
                         0, boundValues_[i].data(), static_cast<SQLLEN>(boundValues_[i].size()), &boundLengths_[i]),
        SQL_HANDLE_STMT, stmt_, "Cannot bind parameter");
  }
  check(SQLExecute(stmt_), SQL_HANDLE_STMT, stmt_, "Cannot execute statement");
  loadColumnNames();
}

void Statement::loadColumnNames() {
  columns_.clear();
  SQLSMALLINT count = 0;
  if (!SQL_SUCCEEDED(SQLNumResultCols(stmt_, &count))) return;
  for (SQLSMALLINT i = 1; i <= count; ++i) {
    SQLCHAR name[256] = {0};
    SQLSMALLINT length = 0;
    SQLDescribeCol(stmt_, static_cast<SQLUSMALLINT>(i), name, sizeof name, &length, nullptr, nullptr, nullptr, nullptr);
    columns_.emplace_back(reinterpret_cast<char*>(name));
  }
}

bool Statement::fetch() {
  const SQLRETURN rc = SQLFetch(stmt_);
  if (rc == SQL_NO_DATA) return false;
  check(rc, SQL_HANDLE_STMT, stmt_, "Cannot fetch a row");
  return true;
}

int Statement::columnIndex(std::string_view name) const {
  for (std::size_t i = 0; i < columns_.size(); ++i)
    if (columns_[i].size() == name.size() && strncasecmp(columns_[i].c_str(), name.data(), name.size()) == 0)
      return static_cast<int>(i);
  return -1;
}

std::optional<std::string> Statement::getText(int column) {
  std::string result;
  char buffer[512];
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc =
        SQLGetData(stmt_, static_cast<SQLUSMALLINT>(column + 1), SQL_C_CHAR, buffer, sizeof buffer, &indicator);
    if (rc == SQL_NO_DATA) break;
    check(rc, SQL_HANDLE_STMT, stmt_, "Cannot read a column");
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    if (rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof buffer))) {
      result.append(buffer, sizeof buffer - 1);  // a longer value: the rest follows
      continue;
    }
    result.append(buffer, static_cast<std::size_t>(indicator));
    break;
  }
  return result;
}

std::optional<std::string> Statement::getText(std::string_view name) {
  const int index = columnIndex(name);
  if (index < 0) throw OdbcError(0, "42S22", "Item cannot be found in the collection: " + std::string(name));
  return getText(index);
}

long Statement::rowCount() const {
  SQLLEN count = 0;
  SQLRowCount(stmt_, &count);
  return static_cast<long>(count);
}

}  // namespace travik::odbc
