#include "admin/bound_grid.h"

#include <QDateTime>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTableView>

#include "admin/grid_records.h"
#include "admin/query_model.h"
#include "processing/application_parameters.h"
#include "processing/error_handling.h"
#include "processing/start_up.h"

namespace travik {

QueryModel& boundModel(QTableView& view) {
  if (auto* model = qobject_cast<QueryModel*>(view.model())) return *model;
  auto* model = new QueryModel(&view);
  useGridText(*model);
  view.setModel(model);
  return *model;
}

void bindGrid(QTableView& view, db::Statement& statement) {
  auto* model = new QueryModel(&view);
  useGridText(*model);
  try {
    model->load(statement);
  } catch (...) {
    delete model;
    throw;
  }
  QAbstractItemModel* previous = view.model();
  QItemSelectionModel* previousSelection = view.selectionModel();
  view.setModel(model);
  // setModel keeps the old model and selection model alive; the grid owns both.
  if (previousSelection) previousSelection->deleteLater();
  if (previous && previous->parent() == &view) previous->deleteLater();
}

void clearGrid(QTableView& view) { boundModel(view).clear(); }

int currentRow(const QTableView& view) {
  const QModelIndex current = view.currentIndex();
  return current.isValid() ? current.row() : -1;
}

QString selectCell(QTableView& view, int row, int column) {
  QueryModel& model = boundModel(view);
  if (row < 0 || row >= model.rowCount() || column < 0 || column >= model.columnCount()) return {};
  view.setCurrentIndex(model.index(row, column));
  return model.text(row, column);
}

void setTopRow(QTableView& view, int row) {
  QAbstractItemModel* model = view.model();
  if (!model || row < 0 || row >= model->rowCount()) return;
  // A model bound a moment ago is laid out lazily; scrolling needs its extent now.
  view.doItemsLayout();
  view.scrollTo(model->index(row, 0), QAbstractItemView::PositionAtTop);
}

void makeCurrentAtTop(QTableView& view, int row) {
  QAbstractItemModel* model = view.model();
  if (!model || row < 0 || row >= model->rowCount()) return;
  view.setCurrentIndex(model->index(row, 0));
  setTopRow(view, row);
}

void saveGrid(Program& program, const QTableView& view, const GridFile& grid, std::string_view procedure) {
  guard(
      program, procedure,
      [&] {
        if (!validateOutputPath(program)) return;
        const auto* model = qobject_cast<const QueryModel*>(view.model());
        QueryModel empty;
        const std::filesystem::path file = gridFileName(program, grid.prefix, program.host.now());
        writeGridFile(model ? *model : empty, file);
        program.host.messageBox(std::string(grid.message) + file.string() + ".", kApplicationTitle, MessageButtons::Ok,
                                MessageIcon::None);
      },
      ErrorHandler::LogAndCount);
}

QDateTime toQDateTime(const DateTime& value) {
  return QDateTime(QDate(value.year(), value.month(), value.day()),
                   QTime(value.hour(), value.minute(), value.second()));
}

DateTime fromQDateTime(const QDateTime& value) {
  const QDate date = value.date();
  const QTime time = value.time();
  return DateTime(date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second());
}

}  // namespace travik
