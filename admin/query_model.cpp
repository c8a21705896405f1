#include "admin/query_model.h"

namespace travik {

QueryModel::QueryModel(QObject* parent) : QAbstractTableModel(parent) {
  cellText = [](const db::Statement& statement, int column) {
    return statement.isNull(column) ? QString() : QString::fromStdString(statement.getText(column));
  };
}

void QueryModel::load(db::Statement& statement) {
  beginResetModel();
  columns_.clear();
  rows_.clear();
  backgrounds_.clear();
  const int count = statement.columnCount();
  for (int column = 0; column < count; ++column) columns_ << QString::fromStdString(statement.columnName(column));
  try {
    while (statement.step()) {
      QStringList row;
      row.reserve(count);
      for (int column = 0; column < count; ++column) row << cellText(statement, column);
      rows_.push_back(std::move(row));
    }
  } catch (...) {
    endResetModel();
    throw;
  }
  endResetModel();
}

void QueryModel::clear() {
  beginResetModel();
  columns_.clear();
  rows_.clear();
  backgrounds_.clear();
  endResetModel();
}

int QueryModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int QueryModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_.size(); }

QVariant QueryModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
  if (role == Qt::DisplayRole) return rows_[index.row()][index.column()];
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
  if (column < 0 || column >= columns_.size()) return -1;
  for (std::size_t row = 0; row < rows_.size(); ++row)
    if (rows_[row][column].compare(value, Qt::CaseInsensitive) == 0) return static_cast<int>(row);
  return -1;
}

void QueryModel::setBackground(int row, int firstColumn, int lastColumn, const QColor& colour) {
  if (row < 0 || row >= rowCount()) return;
  for (int column = std::max(firstColumn, 0); column <= lastColumn && column < columnCount(); ++column)
    backgrounds_[{row, column}] = colour;
  emit dataChanged(index(row, std::max(firstColumn, 0)), index(row, std::min(lastColumn, columnCount() - 1)));
}

}  // namespace travik
