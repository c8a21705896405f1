// A read-only table model over the rows of one query: what every bound grid
// of the console shows (calls, errors, tasks, recipients, events, totals).
//
// The rows are read to the end when the model is loaded, so no statement
// stays open on the database between two reloads (the service shares the
// file).  The field names of the query are the column headings.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "platform/db.h"

namespace travik {

class QueryModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit QueryModel(QObject* parent = nullptr);

  // Steps the prepared (and bound) statement to its end, keeping every row.
  void load(db::Statement& statement);
  // No rows and no columns.
  void clear();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  const QString& text(int row, int column) const { return rows_.at(row).at(column); }
  const QStringList& columnNames() const { return columns_; }
  // The first row whose cell in column equals value without regard to case; -1 when none.
  int findRow(int column, const QString& value) const;
  // Paints cells of one row (the events window marks the call's first event).
  void setBackground(int row, int firstColumn, int lastColumn, const QColor& colour);

  // How a stored value reads in the grid; by default its text, NULL as empty.
  std::function<QString(const db::Statement& statement, int column)> cellText;

 private:
  QStringList columns_;
  std::vector<QStringList> rows_;
  std::map<std::pair<int, int>, QColor> backgrounds_;
};

}  // namespace travik
