// The gateway's database: a thin RAII layer over unixODBC.
//
// The gateway keeps its settings and directory behind the ODBC data source
// "mervale".  Values are always bound as parameters; results are read by
// column name without regard to letter case.  ODBC diagnostics become an
// OdbcError carrying the native error number and the driver's text.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace travik::odbc {

class OdbcError : public std::runtime_error {
 public:
  OdbcError(long nativeError, std::string sqlState, const std::string& text)
      : std::runtime_error(text), native_(nativeError), state_(std::move(sqlState)) {}
  long nativeError() const { return native_; }
  const std::string& sqlState() const { return state_; }

 private:
  long native_;
  std::string state_;
};

class Connection;

class Statement {
 public:
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&&) = delete;
  Statement(const Statement&) = delete;
  ~Statement();

  // Binds text parameters (numbered from 1) and runs the statement.
  void execute(const std::vector<std::string>& parameters = {});
  // Advances to the next result row; false at the end.
  bool fetch();
  int columnIndex(std::string_view name) const;  // -1 when missing
  // Text of a column of the current row; nothing for NULL.
  std::optional<std::string> getText(int column);
  std::optional<std::string> getText(std::string_view name);
  long rowCount() const;

 private:
  friend class Connection;
  Statement(SQLHDBC dbc, int queryTimeoutSeconds);
  void loadColumnNames();
  SQLHSTMT stmt_ = SQL_NULL_HSTMT;
  std::vector<std::string> columns_;
  std::vector<std::string> boundValues_;  // must live until the statement runs
  std::vector<SQLLEN> boundLengths_;
};

class Connection {
 public:
  Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection();

  // Connects to a data source by name with empty user and password.  Every
  // statement of the connection, and the connection itself, waits at most
  // queryTimeoutSeconds for a database that another program holds locked;
  // then it fails like any other error of the data source.
  void open(const std::string& dataSource, int loginTimeoutSeconds = 15, int queryTimeoutSeconds = 30);
  void close() noexcept;
  bool isOpen() const { return connected_; }
  Statement prepare(std::string_view sql);
  // Convenience: prepare, bind, execute.
  Statement execute(std::string_view sql, const std::vector<std::string>& parameters = {});

 private:
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
  int queryTimeoutSeconds_ = 30;
};

}  // namespace travik::odbc
