#include "admin/models/query_model.h"

#include <algorithm>
#include <limits>

namespace travik {

namespace {

// Resets a statement when the read that stepped it ends, however it ends.
class ResetOnExit {
 public:
  explicit ResetOnExit(db::Statement& statement) : statement_(statement) {}
  ~ResetOnExit() { statement_.reset(); }
  ResetOnExit(const ResetOnExit&) = delete;
  ResetOnExit& operator=(const ResetOnExit&) = delete;

 private:
  db::Statement& statement_;
};

std::string parameter(std::size_t number) { return "?" + std::to_string(number); }

// The order falls into segments read one after the other: with key columns,
// first the rows whose first key is NULL (in the order of the other keys),
// then the others; a row-value comparison with the anchor seeks inside one
// segment, where no compared column is NULL.  Without key columns there is
// one segment in rowid order.
int segmentCount(const GridQuery& query) { return query.orderBy.empty() ? 1 : 2; }

std::vector<std::string> segmentKeys(const GridQuery& query, int segment) {
  std::vector<std::string> keys;
  if (!query.orderBy.empty()) keys.assign(query.orderBy.begin() + (segment == 0 ? 1 : 0), query.orderBy.end());
  keys.emplace_back("rowid");
  return keys;
}

}  // namespace

void bindValue(db::Statement& statement, int index, const SqlValue& value) {
  if (const auto* number = std::get_if<std::int64_t>(&value))
    statement.bind(index, *number);
  else if (const auto* real = std::get_if<double>(&value))
    statement.bind(index, *real);
  else if (const auto* text = std::get_if<std::string>(&value))
    statement.bind(index, *text);
  else
    statement.bindNull(index);
}

SqlValue columnValue(const db::Statement& statement, int column) {
  switch (statement.type(column)) {
    case SQLITE_NULL: return std::monostate();
    case SQLITE_INTEGER: return statement.getInt(column);
    case SQLITE_FLOAT: return statement.getDouble(column);
    default: return statement.getText(column);
  }
}

QString storedText(const SqlValue& value) {
  if (const auto* number = std::get_if<std::int64_t>(&value)) return QString::number(*number);
  if (const auto* text = std::get_if<std::string>(&value)) return QString::fromStdString(*text);
  if (const auto* real = std::get_if<double>(&value)) {
    // The text SQLite itself gives a real value.
    char* printed = sqlite3_mprintf("%!.15g", *real);
    const QString result = QString::fromUtf8(printed);
    sqlite3_free(printed);
    return result;
  }
  return {};
}

QueryModel::QueryModel(QObject* parent, int pageRows) : QAbstractTableModel(parent), pageRows_(std::max(pageRows, 1)) {
  textOf = [](const QString&) -> CellText { return storedText; };
}

// ---------------------------------------------------------------- the query's SQL

std::string QueryModel::selectFrom() const {
  std::string select = "select " + query_.fields;
  for (const std::string& key : query_.orderBy) select += ", " + key;
  return select + ", rowid from " + query_.table;
}

std::string QueryModel::keyTuple(int segment) const {
  std::string tuple = "(";
  for (const std::string& key : segmentKeys(query_, segment)) tuple += (tuple.size() > 1 ? ", " : "") + key;
  return tuple + ")";
}

std::string QueryModel::where(int segment, const char* anchorComparison) const {
  std::vector<std::string> conditions;
  if (!query_.filter.empty()) conditions.push_back("(" + query_.filter + ")");
  if (segmentCount(query_) == 2)
    conditions.push_back(query_.orderBy.front() + (segment == 0 ? " is null" : " is not null"));
  if (anchorComparison) {
    std::string values = "(";
    const std::size_t keys = segmentKeys(query_, segment).size();
    for (std::size_t i = 0; i < keys; ++i) values += (i ? ", " : "") + parameter(query_.parameters.size() + 1 + i);
    conditions.push_back(keyTuple(segment) + " " + anchorComparison + " " + values + ")");
  }
  std::string text;
  for (const std::string& condition : conditions) text += (text.empty() ? " where " : " and ") + condition;
  return text;
}

std::string QueryModel::orderClause(int segment, bool forward) const {
  std::string text = " order by ";
  bool first = true;
  for (const std::string& key : segmentKeys(query_, segment)) {
    text += (first ? "" : ", ") + key + (forward ? "" : " desc");
    first = false;
  }
  return text;
}

void QueryModel::bindParameters(db::Statement& statement) const {
  for (std::size_t i = 0; i < query_.parameters.size(); ++i)
    bindValue(statement, static_cast<int>(i + 1), query_.parameters[i]);
}

int QueryModel::bindAnchor(db::Statement& statement, int segment, const Row& anchor) const {
  const std::size_t keys = segmentKeys(query_, segment).size();
  // The anchor's key values end its row; segment 0 leaves out the NULL first key.
  const std::size_t first = anchor.size() - keys;
  int index = static_cast<int>(query_.parameters.size()) + 1;
  for (std::size_t i = 0; i < keys; ++i) bindValue(statement, index++, anchor[first + i]);
  return index;
}

db::Statement& QueryModel::statement(const std::string& sql) const {
  if (!db_ || !db_->isOpen()) throw db::DbError(SQLITE_MISUSE, "Operation is not allowed when the object is closed.");
  if (db_->handle() != preparedOn_) {
    statements_.clear();
    preparedOn_ = db_->handle();
  }
  auto found = statements_.find(sql);
  if (found == statements_.end()) found = statements_.emplace(sql, db_->prepare(sql)).first;
  return found->second;
}

QueryModel::Row QueryModel::readRow(const db::Statement& statement) const {
  const int count = statement.columnCount();
  Row row;
  row.reserve(static_cast<std::size_t>(count));
  for (int column = 0; column < count; ++column) row.push_back(columnValue(statement, column));
  return row;
}

// ---------------------------------------------------------------- reading

int QueryModel::segmentOf(const Row& key) const {
  if (segmentCount(query_) == 1) return 0;
  const SqlValue& first = key[key.size() - static_cast<std::size_t>(keyColumns_)];
  return std::holds_alternative<std::monostate>(first) ? 0 : 1;
}

int QueryModel::readSegment(int segment, bool forward, const Row* anchor, std::int64_t skip, int limit,
                            std::vector<Row>& out) const {
  const std::string select = selectFrom();
  const std::size_t anchorValues = anchor ? segmentKeys(query_, segment).size() : 0;
  const std::size_t limitParameter = query_.parameters.size() + anchorValues + 1;
  db::Statement& s =
      statement(select + where(segment, anchor ? (forward ? ">" : "<") : nullptr) + orderClause(segment, forward) +
                " limit " + parameter(limitParameter) + " offset " + parameter(limitParameter + 1));
  ResetOnExit reset(s);
  bindParameters(s);
  if (anchor) bindAnchor(s, segment, *anchor);
  s.bind(static_cast<int>(limitParameter), limit).bind(static_cast<int>(limitParameter + 1), skip);
  int read = 0;
  while (s.step()) {
    out.push_back(readRow(s));
    ++read;
  }
  return read;
}

std::int64_t QueryModel::countSegment(int segment, bool forward, const Row* anchor) const {
  db::Statement& s =
      statement("select count(*) from " + query_.table + where(segment, anchor ? (forward ? ">" : "<") : nullptr));
  ResetOnExit reset(s);
  bindParameters(s);
  if (anchor) bindAnchor(s, segment, *anchor);
  return s.step() ? s.getInt(0) : 0;
}

std::vector<QueryModel::Row> QueryModel::readRun(int segment, bool forward, const Row* anchor, std::int64_t skip,
                                                 int limit) const {
  std::vector<Row> rows;
  const int segments = segmentCount(query_);
  for (; limit > 0 && segment >= 0 && segment < segments; segment += forward ? 1 : -1, anchor = nullptr) {
    const int read = readSegment(segment, forward, anchor, skip, limit, rows);
    if (read > 0) {
      skip = 0;
      limit -= read;
    } else if (skip > 0) {
      // The segment ended before the rows to skip did: skip the rest in the next one.
      skip = std::max<std::int64_t>(skip - countSegment(segment, forward, anchor), 0);
    }
  }
  if (!forward) std::reverse(rows.begin(), rows.end());
  return rows;
}

std::vector<QueryModel::Row> QueryModel::readPage(int page) const {
  const std::int64_t first = static_cast<std::int64_t>(page) * pageRows_;
  const int length = static_cast<int>(std::min<std::int64_t>(pageRows_, rows_ - first));
  // From the nearer end of the order, or from the nearest page held on
  // either side, whichever leaves the fewest rows to skip.
  std::int64_t bestSkip = first;
  bool forward = true;
  const Row* anchor = nullptr;
  const std::int64_t fromEnd = rows_ - (first + length);
  if (fromEnd < bestSkip) {
    bestSkip = fromEnd;
    forward = false;
  }
  auto above = pages_.upper_bound(page);
  if (above != pages_.end() && !above->second.empty()) {
    const std::int64_t skip = static_cast<std::int64_t>(above->first) * pageRows_ - (first + length);
    if (skip < bestSkip) {
      bestSkip = skip;
      forward = false;
      anchor = &above->second.front();
    }
  }
  auto below = pages_.lower_bound(page);
  if (below != pages_.begin()) {
    --below;
    // Only a whole page tells where the next one starts.
    if (static_cast<int>(below->second.size()) == pageRows_) {
      const std::int64_t skip = first - static_cast<std::int64_t>(below->first + 1) * pageRows_;
      if (skip < bestSkip) {
        bestSkip = skip;
        forward = true;
        anchor = &below->second.back();
      }
    }
  }
  const int segment = anchor ? segmentOf(*anchor) : (forward ? 0 : segmentCount(query_) - 1);
  ++pageReads_;
  return readRun(segment, forward, anchor, bestSkip, length);
}

const QueryModel::Row* QueryModel::row(int index) const {
  if (index < 0 || index >= rows_) return nullptr;
  const int page = index / pageRows_;
  auto found = pages_.find(page);
  if (found == pages_.end()) {
    if (readsHeld_) {
      heldBackRead_ = true;
      return nullptr;
    }
    std::vector<Row> rows;
    try {
      rows = readPage(page);
    } catch (const std::exception&) {
      return nullptr;  // read again at the next request
    }
    found = pages_.emplace(page, std::move(rows)).first;
    recent_.push_front(page);
    while (static_cast<int>(recent_.size()) > kKeptPages) {
      pages_.erase(recent_.back());
      recent_.pop_back();
    }
  } else if (recent_.front() != page) {
    recent_.remove(page);
    recent_.push_front(page);
  }
  const std::size_t offset = static_cast<std::size_t>(index - page * pageRows_);
  return offset < found->second.size() ? &found->second[offset] : nullptr;
}

std::int64_t QueryModel::rowsBefore(const Row& key) const {
  const int segment = segmentOf(key);
  std::int64_t before = segment == 1 ? countSegment(0, true, nullptr) : 0;
  return before + countSegment(segment, false, &key);
}

// ---------------------------------------------------------------- the model

void QueryModel::forget() {
  db_ = nullptr;
  query_ = GridQuery();
  columns_.clear();
  texts_.clear();
  rows_ = 0;
  pages_.clear();
  recent_.clear();
  pageReads_ = 0;
  statements_.clear();
  preparedOn_ = nullptr;
  backgrounds_.clear();
}

void QueryModel::setQuery(db::Connection& db, GridQuery query) {
  beginResetModel();
  forget();
  db_ = &db;
  query_ = std::move(query);
  keyColumns_ = static_cast<int>(query_.orderBy.size()) + 1;
  try {
    db::Statement& s = statement(selectFrom() + " limit 0");
    const int shown = s.columnCount() - keyColumns_;
    for (int column = 0; column < shown; ++column) {
      columns_ << QString::fromStdString(s.columnName(column));
      texts_.push_back(textOf(columns_.back()));
    }
    db::Statement& count =
        statement("select count(*) from " + query_.table + (query_.filter.empty() ? "" : " where " + query_.filter));
    ResetOnExit reset(count);
    bindParameters(count);
    const std::int64_t total = count.step() ? count.getInt(0) : 0;
    rows_ = static_cast<int>(std::min<std::int64_t>(total, std::numeric_limits<int>::max()));
    // The first page now: a query that cannot run fails here, not in a paint.
    if (rows_ > 0) {
      pages_.emplace(0, readPage(0));
      recent_.push_front(0);
    }
  } catch (...) {
    forget();
    endResetModel();
    throw;
  }
  endResetModel();
}

void QueryModel::clear() {
  beginResetModel();
  forget();
  endResetModel();
}

int QueryModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int QueryModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_.size(); }

QString QueryModel::cellText(int column, const SqlValue& value) const {
  if (column < 0 || column >= static_cast<int>(texts_.size())) return {};
  return texts_[static_cast<std::size_t>(column)](value);
}

bool QueryModel::showsStoredText(int column) const {
  return column >= 0 && column < static_cast<int>(texts_.size()) &&
         texts_[static_cast<std::size_t>(column)] == &storedText;
}

QString QueryModel::text(int row, int column) const {
  if (column < 0 || column >= columnCount()) return {};
  const Row* cells = this->row(row);
  return cells ? cellText(column, (*cells)[static_cast<std::size_t>(column)]) : QString();
}

SqlValue QueryModel::value(int row, int column) const {
  if (column < 0 || column >= columnCount()) return {};
  const Row* cells = this->row(row);
  return cells ? (*cells)[static_cast<std::size_t>(column)] : SqlValue();
}

QVariant QueryModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
  if (role == Qt::DisplayRole) return text(index.row(), index.column());
  if (role == Qt::BackgroundRole) {
    const auto found = backgrounds_.find({index.row(), index.column()});
    if (found != backgrounds_.end()) return found->second;
  }
  return {};
}

QVariant QueryModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) return section < columns_.size() ? QVariant(columns_[section]) : QVariant();
  return QVariant(QString());
}

int QueryModel::findRow(int column, const QString& value) const {
  if (column < 0 || column >= columns_.size() || rows_ == 0) return -1;
  try {
    // The range between the upper- and the lower-case spelling holds every
    // ASCII case variant, and lets an index on the column find them.
    const std::string name = columns_[column].toStdString();
    const std::string v = parameter(query_.parameters.size() + 1);
    std::string sql = "select ";
    for (const std::string& key : query_.orderBy) sql += key + ", ";
    sql += "rowid from " + query_.table + " where ";
    if (!query_.filter.empty()) sql += "(" + query_.filter + ") and ";
    sql +=
        name + " = " + v + " collate nocase and " + name + " >= upper(" + v + ") and " + name + " <= lower(" + v + ")";
    std::string order = " order by ";
    for (const std::string& key : query_.orderBy) order += key + ", ";
    db::Statement& s = statement(sql + order + "rowid limit 1");
    Row key;
    {
      ResetOnExit reset(s);
      bindParameters(s);
      s.bind(static_cast<int>(query_.parameters.size() + 1), value.toStdString());
      if (!s.step()) return -1;
      key = readRow(s);
    }
    const std::int64_t before = rowsBefore(key);
    return before < rows_ ? static_cast<int>(before) : -1;
  } catch (const std::exception&) {
    return -1;
  }
}

void QueryModel::forEachRow(const std::function<void(const std::vector<SqlValue>& cells)>& visit) const {
  constexpr int kRowsPerRead = 4096;
  std::int64_t left = rows_;
  Row last;
  bool started = false;
  while (left > 0) {
    const int limit = static_cast<int>(std::min<std::int64_t>(kRowsPerRead, left));
    const std::vector<Row> rows =
        started ? readRun(segmentOf(last), true, &last, 0, limit) : readRun(0, true, nullptr, 0, limit);
    for (const Row& cells : rows) visit(cells);
    if (static_cast<int>(rows.size()) < limit) break;
    left -= limit;
    last = rows.back();
    started = true;
  }
}

void QueryModel::setBackground(int row, int firstColumn, int lastColumn, const QColor& colour) {
  if (row < 0 || row >= rowCount()) return;
  for (int column = std::max(firstColumn, 0); column <= lastColumn && column < columnCount(); ++column)
    backgrounds_[{row, column}] = colour;
  emit dataChanged(index(row, std::max(firstColumn, 0)), index(row, std::min(lastColumn, columnCount() - 1)));
}

}  // namespace travik
