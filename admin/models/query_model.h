// A read-only table model over the rows of one query: what every bound grid
// of the console shows (calls, errors, tasks, recipients, events, totals).
//
// The model never holds the query's result.  It knows how many rows the query
// selects (a count), and reads a page of rows when the view asks for a row
// it has not got, starting from the key of a page it holds or from either end
// of the order (keyset reading: "the rows after this key", with the order's
// index doing the seeking).  Only a few pages are kept, so the cost of a grid
// does not grow with the database.  Every read is one short statement that
// is reset before the read returns: no statement stays open between two
// reads, and the service, which shares the file, never waits on the console
// longer than one page read.  A jump to a row found by value asks the
// database for the row's key and then for the number of rows before it.
//
// The order is the query's key columns with the rowid breaking ties, which is
// the order an index on the key columns gives.  Only the first key column may
// hold NULL; its NULL rows come first, as SQLite sorts them.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "platform/db.h"

namespace travik {

// A stored value as SQLite gives it: NULL, integer, real or text.
using SqlValue = std::variant<std::monostate, std::int64_t, double, std::string>;

// The rows a grid shows: one table's rows, filtered, in the order of a key.
struct GridQuery {
  std::string fields;                // the select list: the grid's columns, in its order
  std::string table;                 // the table the rows come from
  std::string filter;                // a condition on ?1 .. ?n, or empty for every row
  std::vector<SqlValue> parameters;  // bound to ?1 .. ?n of the filter
  std::vector<std::string> orderBy;  // the key columns; empty: the table's own (rowid) order
};

class QueryModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // How a stored value of one column reads in the grid.
  using CellText = QString (*)(const SqlValue& value);

  static constexpr int kPageRows = 128;
  static constexpr int kKeptPages = 8;

  explicit QueryModel(QObject* parent = nullptr, int pageRows = kPageRows);

  // Shows the rows of the query: counts them and reads the first page.
  // Throws (and shows what it showed before) when the query cannot run.
  void setQuery(db::Connection& db, GridQuery query);
  // No rows and no columns.
  void clear();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  // A cell as the grid shows it, and its stored value.  A row that cannot be
  // read (the database changed or failed since the count) reads empty.
  QString text(int row, int column) const;
  SqlValue value(int row, int column) const;
  const QStringList& columnNames() const { return columns_; }
  // The first row whose stored value in column equals value without regard
  // to (ASCII) case; -1 when none.  Asks the database, not the pages.
  int findRow(int column, const QString& value) const;
  // Paints cells of one row (the events window marks the call's first event).
  void setBackground(int row, int firstColumn, int lastColumn, const QColor& colour);

  // Every row of the query in the grid's order, a block at a time, each block
  // read by its own short statement.  For saving a grid: the row's first
  // columnCount() values are its cells.
  void forEachRow(const std::function<void(const std::vector<SqlValue>& cells)>& visit) const;
  // The text of one cell value of a column, as text() gives it.
  QString cellText(int column, const SqlValue& value) const;
  // Whether the column shows its stored text as it is.
  bool showsStoredText(int column) const;

  // How a column's values read, chosen by its name; by default the stored text.
  std::function<CellText(const QString& columnName)> textOf;

  // Pages read from the database since the query was set (tests watch the paging).
  int pageReads() const { return pageReads_; }

  // While the windows repaint from inside a running statement, no other
  // statement may use the connection: a row of a page not kept then reads
  // as empty, and its page is read when the row is next asked for.
  static void holdReads(bool held) { readsHeld_ = held; }
  // Whether a row read empty so since the last look; forgets it.
  static bool takeHeldBackRead() { return std::exchange(heldBackRead_, false); }

 private:
  using Row = std::vector<SqlValue>;  // the shown cells, then the key columns and the rowid
  struct Segment;

  // Back to no query, no rows and no columns (inside a model reset).
  void forget();
  const Row* row(int index) const;
  std::vector<Row> readPage(int page) const;
  std::vector<Row> readRun(int segment, bool forward, const Row* anchor, std::int64_t skip, int limit) const;
  int readSegment(int segment, bool forward, const Row* anchor, std::int64_t skip, int limit,
                  std::vector<Row>& out) const;
  std::int64_t countSegment(int segment, bool forward, const Row* anchor) const;
  int segmentOf(const Row& key) const;
  std::int64_t rowsBefore(const Row& key) const;
  db::Statement& statement(const std::string& sql) const;
  void bindParameters(db::Statement& statement) const;
  int bindAnchor(db::Statement& statement, int segment, const Row& anchor) const;
  std::string where(int segment, const char* anchorComparison) const;
  std::string orderClause(int segment, bool forward) const;
  // "select <fields>, <key columns>, rowid from <table>"
  std::string selectFrom() const;
  std::string keyTuple(int segment) const;
  Row readRow(const db::Statement& statement) const;

  int pageRows_;
  db::Connection* db_ = nullptr;
  GridQuery query_;
  QStringList columns_;
  std::vector<CellText> texts_;
  int keyColumns_ = 0;  // the key columns and the rowid, after the shown cells
  int rows_ = 0;
  mutable std::map<int, std::vector<Row>> pages_;
  mutable std::list<int> recent_;  // page numbers, most recently used first
  mutable int pageReads_ = 0;
  // Prepared once per text and reset after every use; dropped when the
  // connection is reopened.
  mutable std::map<std::string, db::Statement> statements_;
  mutable sqlite3* preparedOn_ = nullptr;
  std::map<std::pair<int, int>, QColor> backgrounds_;

  static inline bool readsHeld_ = false;
  static inline bool heldBackRead_ = false;
};

// Binds a value to a parameter (numbered from 1), and reads a column's value.
void bindValue(db::Statement& statement, int index, const SqlValue& value);
SqlValue columnValue(const db::Statement& statement, int column);
// The stored text of a value: empty for NULL, numbers as SQLite writes them.
QString storedText(const SqlValue& value);

}  // namespace travik
