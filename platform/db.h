// The program database: a thin layer over SQLite.
//
// Every value reaches SQL through a bound parameter; no caller ever puts a
// value into statement text.  Rows are read by column name without regard to
// letter case, as the original file database matched its columns.  The file is
// opened in WAL mode with a busy timeout because the console and the service
// share it; SQLITE_BUSY after the timeout surfaces as a DbError whose busy()
// is true (the "locked database" case).
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace travik::db {

class DbError : public std::runtime_error {
 public:
  DbError(int sqliteCode, const std::string& text);
  int sqliteCode() const { return code_; }
  // The database stayed locked by another process past the busy timeout.
  bool busy() const;
  // The file is not a database, or its pages are damaged.
  bool damaged() const;
  // The file, or its folder, cannot be written.
  bool readOnly() const;

 private:
  int code_;
};

class Statement {
 public:
  Statement() = default;
  Statement(sqlite3* handle, std::string_view sql);
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement();

  bool valid() const { return stmt_ != nullptr; }

  // Parameters are numbered from 1, as in SQLite.
  Statement& bindNull(int index);
  Statement& bind(int index, std::int64_t value);
  Statement& bind(int index, int value) { return bind(index, static_cast<std::int64_t>(value)); }
  Statement& bind(int index, bool value) { return bind(index, static_cast<std::int64_t>(value ? 1 : 0)); }
  Statement& bind(int index, double value);
  Statement& bind(int index, std::string_view value);
  Statement& bind(int index, const char* value) { return bind(index, std::string_view(value)); }
  Statement& bind(int index, const std::string& value) { return bind(index, std::string_view(value)); }
  // Binds text without copying it: the text must stay in place, unchanged,
  // until the statement is reset (run() resets it).  For hot insert paths.
  Statement& bindStatic(int index, std::string_view value);
  template <class T>
  Statement& bindStatic(int index, const std::optional<T>& value) {
    return value ? bindStatic(index, std::string_view(*value)) : bindNull(index);
  }
  template <class T>
  Statement& bind(int index, const std::optional<T>& value) {
    return value ? bind(index, *value) : bindNull(index);
  }

  // Advances to the next row; false when the statement is done.
  bool step();
  // Runs a statement that returns no rows, then resets it for reuse.
  void run();
  // Makes the statement ready to run again with new bindings.
  void reset();
  // The rowid of the row the connection's last successful insert added.
  std::int64_t lastInsertRowid() const { return sqlite3_last_insert_rowid(db_); }

  int columnCount() const;
  std::string columnName(int column) const;
  // Column position by name, ignoring case; -1 when the result has no such column.
  int columnIndex(std::string_view name) const;

  bool isNull(int column) const;
  // SQLITE_NULL, SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT or SQLITE_BLOB.
  int type(int column) const { return sqlite3_column_type(stmt_, column); }
  std::int64_t getInt(int column) const;
  double getDouble(int column) const;
  std::string getText(int column) const;
  // The text without a copy; valid until the statement steps again or is reset.
  std::string_view getTextView(int column) const;

  bool isNull(std::string_view name) const { return isNull(requireColumn(name)); }
  std::int64_t getInt(std::string_view name) const { return getInt(requireColumn(name)); }
  double getDouble(std::string_view name) const { return getDouble(requireColumn(name)); }
  std::string getText(std::string_view name) const { return getText(requireColumn(name)); }

 private:
  int requireColumn(std::string_view name) const;
  void check(int rc) const;

  sqlite3_stmt* stmt_ = nullptr;
  sqlite3* db_ = nullptr;
};

class Connection {
 public:
  Connection() = default;
  Connection(Connection&& other) noexcept;
  Connection& operator=(Connection&& other) noexcept;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection();

  // What a connection is opened for.
  enum class Access { Write, Read };
  // Opens an existing database file; never creates one.  Opened for writing,
  // a file that cannot be written (its mode, its folder, a read-only file
  // system) is a DbError whose readOnly() is true: never a connection that
  // only reads and fails at every write.
  void open(const std::string& path, int busyTimeoutMs = 10000, Access access = Access::Write);
  // Opens (creating if needed) a database file; for building the delivered database and tests.
  void create(const std::string& path);
  void close() noexcept;
  bool isOpen() const { return db_ != nullptr; }

  void exec(std::string_view sql);
  Statement prepare(std::string_view sql);
  std::int64_t changes() const;
  // The file was opened for reading only.
  bool readOnly() const { return db_ && sqlite3_db_readonly(db_, "main") == 1; }
  // True while a transaction is open on this connection.
  bool inTransaction() const { return db_ && sqlite3_get_autocommit(db_) == 0; }
  // True while this connection holds a write transaction (a reading one does not).
  bool inWriteTransaction() const { return db_ && sqlite3_txn_state(db_, nullptr) == SQLITE_TXN_WRITE; }
  void setBusyTimeout(int ms);
  // A call SQLite makes every `steps` steps of a running statement, kept when
  // the connection is opened again; steps 0 removes it.  The call must not
  // use the connection, nor return other than 0 (non-zero interrupts).
  void setProgressHandler(int steps, int (*handler)(void*), void* context);
  // While the database is held by another process, the wait for it asks
  // this between short sleeps; once it answers true the wait gives up (the
  // statement fails as busy), so that a stop is not held up by the timeout.
  // Kept across close and open.
  void setStopCheck(std::function<bool()> stopRequested);
  // Write transactions committed through this connection object, across
  // close and open: a caller compares two readings to learn whether anything
  // was stored between them.
  std::int64_t commits() const { return *commits_; }
  sqlite3* handle() const { return db_; }

 private:
  // The busy wait's state, on the heap so that SQLite's pointer to it
  // survives a move of the connection.
  struct BusyWait {
    int timeoutMs = 10000;
    std::function<bool()> stopRequested;
    std::chrono::steady_clock::time_point since;
  };
  static int busyHandler(void* wait, int attempt);
  static int countCommit(void* commits);
  void requireOpen() const;
  void applyProgressHandler() const;
  sqlite3* db_ = nullptr;
  int progressSteps_ = 0;
  int (*progressHandler_)(void*) = nullptr;
  void* progressContext_ = nullptr;
  std::unique_ptr<BusyWait> busy_ = std::make_unique<BusyWait>();
  // On the heap for the same reason: SQLite's commit hook points at it.
  std::unique_ptr<std::int64_t> commits_ = std::make_unique<std::int64_t>(0);
};

// A write transaction that rolls back unless committed.  BEGIN IMMEDIATE takes
// the write lock at once, so a locked database fails here and not half-way.
class Transaction {
 public:
  explicit Transaction(Connection& connection);
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  ~Transaction();
  void commit();
  void rollback() noexcept;

 private:
  Connection& connection_;
  bool open_ = true;
};

}  // namespace travik::db
