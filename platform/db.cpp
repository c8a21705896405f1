#include "platform/db.h"

#include <strings.h>

#include <algorithm>
#include <string>
#include <thread>
#include <utility>

namespace travik::db {

DbError::DbError(int sqliteCode, const std::string& text) : std::runtime_error(text), code_(sqliteCode) {}

bool DbError::busy() const {
  const int primary = code_ & 0xff;
  return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

bool DbError::damaged() const {
  const int primary = code_ & 0xff;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

bool DbError::readOnly() const { return (code_ & 0xff) == SQLITE_READONLY; }

namespace {
// A failure of the file itself names the file: "attempt to write a readonly
// database" alone does not say which one.
std::string describe(sqlite3* db, int code, const char* message) {
  std::string text = message ? message : sqlite3_errstr(code);
  switch (code & 0xff) {
    case SQLITE_READONLY:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_FULL:
    case SQLITE_PERM: {
      const char* file = db ? sqlite3_db_filename(db, "main") : nullptr;
      if (file && *file) text += std::string(": ") + file;
      break;
    }
    default: break;
  }
  return text;
}

[[noreturn]] void fail(sqlite3* db, int rc) {
  const int code = db ? sqlite3_extended_errcode(db) : rc;
  throw DbError(code, describe(db, code, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
}
}  // namespace

Statement::Statement(sqlite3* handle, std::string_view sql) : db_(handle) {
  const int rc =
      sqlite3_prepare_v3(handle, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
  if (rc != SQLITE_OK) fail(handle, rc);
}

Statement::Statement(Statement&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)), db_(std::exchange(other.db_, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(stmt_);
    stmt_ = std::exchange(other.stmt_, nullptr);
    db_ = std::exchange(other.db_, nullptr);
  }
  return *this;
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

void Statement::check(int rc) const {
  if (rc != SQLITE_OK) fail(db_, rc);
}

Statement& Statement::bindNull(int index) {
  check(sqlite3_bind_null(stmt_, index));
  return *this;
}
Statement& Statement::bind(int index, std::int64_t value) {
  check(sqlite3_bind_int64(stmt_, index, value));
  return *this;
}
Statement& Statement::bind(int index, double value) {
  check(sqlite3_bind_double(stmt_, index, value));
  return *this;
}
Statement& Statement::bind(int index, std::string_view value) {
  check(sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT));
  return *this;
}

Statement& Statement::bindStatic(int index, std::string_view value) {
  check(sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_STATIC));
  return *this;
}

bool Statement::step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  // Leave the statement reusable after a failure (busy, constraint ...).
  sqlite3_reset(stmt_);
  fail(db_, rc);
}

void Statement::run() {
  while (step()) {
  }
  reset();
}

void Statement::reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

int Statement::columnCount() const { return sqlite3_column_count(stmt_); }

std::string Statement::columnName(int column) const {
  const char* name = sqlite3_column_name(stmt_, column);
  return name ? name : "";
}

int Statement::columnIndex(std::string_view name) const {
  const int count = sqlite3_column_count(stmt_);
  for (int i = 0; i < count; ++i) {
    const char* column = sqlite3_column_name(stmt_, i);
    if (column && std::string_view(column).size() == name.size() && strncasecmp(column, name.data(), name.size()) == 0)
      return i;
  }
  return -1;
}

int Statement::requireColumn(std::string_view name) const {
  const int index = columnIndex(name);
  if (index < 0) throw DbError(SQLITE_ERROR, "Item cannot be found in the collection: " + std::string(name));
  return index;
}

bool Statement::isNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
std::int64_t Statement::getInt(int column) const { return sqlite3_column_int64(stmt_, column); }
double Statement::getDouble(int column) const { return sqlite3_column_double(stmt_, column); }
std::string Statement::getText(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))) : std::string();
}

std::string_view Statement::getTextView(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  return text ? std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
              : std::string_view();
}

Connection::Connection(Connection&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)),
      progressSteps_(std::exchange(other.progressSteps_, 0)),
      progressHandler_(std::exchange(other.progressHandler_, nullptr)),
      progressContext_(std::exchange(other.progressContext_, nullptr)),
      busy_(std::exchange(other.busy_, std::make_unique<BusyWait>())),
      commits_(std::exchange(other.commits_, std::make_unique<std::int64_t>(0))) {}
Connection& Connection::operator=(Connection&& other) noexcept {
  if (this != &other) {
    close();
    db_ = std::exchange(other.db_, nullptr);
    progressSteps_ = std::exchange(other.progressSteps_, 0);
    progressHandler_ = std::exchange(other.progressHandler_, nullptr);
    progressContext_ = std::exchange(other.progressContext_, nullptr);
    busy_ = std::exchange(other.busy_, std::make_unique<BusyWait>());
    commits_ = std::exchange(other.commits_, std::make_unique<std::int64_t>(0));
  }
  return *this;
}
Connection::~Connection() { close(); }

namespace {
// Before SQLite's first use in the process: no memory statistics.  Nothing
// reads them, and keeping them takes a global mutex on every allocation.
void configureLibrary() {
  static const bool configured = [] {
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);  // refused once SQLite is initialised: then it stays on
    return true;
  }();
  (void)configured;
}
}  // namespace

void Connection::open(const std::string& path, int busyTimeoutMs, Access access) {
  configureLibrary();
  close();
  const int mode = access == Access::Write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
  const int rc = sqlite3_open_v2(path.c_str(), &db_, mode | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close(db_);
    db_ = nullptr;
    throw DbError(rc, message + ": " + path);
  }
  // SQLite opens a file it may not write for reading instead, without a word.
  if (access == Access::Write && readOnly()) {
    close();
    throw DbError(
        SQLITE_READONLY,
        "cannot open the database for writing (the file, its folder or its file system is read-only): " + path);
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_commit_hook(db_, &Connection::countCommit, commits_.get());
  applyProgressHandler();
  setBusyTimeout(busyTimeoutMs);
  try {
    // WAL lets the console read while the service writes; NORMAL sync is
    // crash-safe in WAL mode (a power cut may lose the last commit, never corrupt).
    exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=NORMAL");
    // A page cache that holds one trace file's transaction without spilling
    // pages into the WAL before the commit; a fixed bound, whatever the size
    // of the database.
    exec("PRAGMA cache_size=-8192");
    // Checkpoints every 16 MB of WAL rather than every 1000 pages: a pass
    // over a backlog then copies a page that several commits changed once,
    // with fewer syncs.
    int pageSize = 4096;
    {
      Statement query(db_, "PRAGMA page_size");
      if (query.step()) pageSize = static_cast<int>(query.getInt(0));
    }
    exec("PRAGMA wal_autocheckpoint=" + std::to_string((16 << 20) / std::max(pageSize, 512)));
  } catch (const DbError&) {
    // A file opened for reading, or a locked database, still opens; the first write reports the lock.
  }
}

void Connection::create(const std::string& path) {
  configureLibrary();
  close();
  const int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close(db_);
    db_ = nullptr;
    throw DbError(rc, message + ": " + path);
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_commit_hook(db_, &Connection::countCommit, commits_.get());
  setBusyTimeout(10000);
}

void Connection::close() noexcept {
  if (db_) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
}

void Connection::setProgressHandler(int steps, int (*handler)(void*), void* context) {
  progressSteps_ = handler ? steps : 0;
  progressHandler_ = progressSteps_ > 0 ? handler : nullptr;
  progressContext_ = progressSteps_ > 0 ? context : nullptr;
  applyProgressHandler();
}

void Connection::applyProgressHandler() const {
  if (db_) sqlite3_progress_handler(db_, progressSteps_, progressHandler_, progressContext_);
}

void Connection::requireOpen() const {
  if (!db_) throw DbError(SQLITE_MISUSE, "Operation is not allowed when the object is closed.");
}

void Connection::exec(std::string_view sql) {
  requireOpen();
  std::string text(sql);
  char* error = nullptr;
  const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &error);
  if (rc != SQLITE_OK) {
    const int code = sqlite3_extended_errcode(db_);
    std::string message = describe(db_, code, error ? error : sqlite3_errstr(rc));
    sqlite3_free(error);
    throw DbError(code, message);
  }
}

Statement Connection::prepare(std::string_view sql) {
  requireOpen();
  return Statement(db_, sql);
}

std::int64_t Connection::changes() const { return db_ ? sqlite3_changes64(db_) : 0; }

void Connection::setBusyTimeout(int ms) {
  busy_->timeoutMs = ms;
  if (db_) sqlite3_busy_handler(db_, &Connection::busyHandler, busy_.get());
}

void Connection::setStopCheck(std::function<bool()> stopRequested) { busy_->stopRequested = std::move(stopRequested); }

// Sleeps in short steps up to the timeout, as sqlite3_busy_timeout does, but
// asks between the steps whether to give up.
int Connection::busyHandler(void* state, int attempt) {
  auto& wait = *static_cast<BusyWait*>(state);
  const auto now = std::chrono::steady_clock::now();
  if (attempt == 0) wait.since = now;
  if (wait.stopRequested && wait.stopRequested()) return 0;
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(now - wait.since).count();
  if (waited >= wait.timeoutMs) return 0;
  constexpr std::int64_t kLongestStepMs = 50;
  const std::int64_t step =
      std::min<std::int64_t>({std::int64_t{1} << std::min(attempt, 6), kLongestStepMs, wait.timeoutMs - waited});
  std::this_thread::sleep_for(std::chrono::milliseconds(step));
  return 1;
}

int Connection::countCommit(void* commits) {
  ++*static_cast<std::int64_t*>(commits);
  return 0;  // the commit goes ahead
}

Transaction::Transaction(Connection& connection) : connection_(connection) { connection_.exec("BEGIN IMMEDIATE"); }

Transaction::~Transaction() { rollback(); }

void Transaction::commit() {
  if (!open_) return;
  connection_.exec("COMMIT");
  open_ = false;
}

void Transaction::rollback() noexcept {
  if (!open_) return;
  open_ = false;
  try {
    connection_.exec("ROLLBACK");
  } catch (...) {
  }
}

}  // namespace travik::db
