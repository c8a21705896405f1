#include "admin/bound_grid.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTableView>

#include "admin/grid_records.h"
#include "admin/query_model.h"
#include "processing/application_parameters.h"
#include "processing/error_handling.h"
#include "processing/start_up.h"

namespace travik {

namespace {

// Room beside a cell's text (the view's own margin and grid line) and a heading's.
constexpr int kCellMarginPixels = 3;
constexpr int kHeadingMarginPixels = 8;
// Rows that set a column's width: the first page, about what a grid shows.
constexpr int kRowsMeasured = 64;

// Grid rows hold one line of text: no wrapping, every row as high as the
// font's line and the cell's margins, so the view need not measure rows.
void useSingleLineRows(QTableView& view) {
  view.setWordWrap(false);
  view.setTextElideMode(Qt::ElideRight);
  QHeaderView& rows = *view.verticalHeader();
  const int height = view.fontMetrics().height() + 2 * kCellMarginPixels;
  rows.setMinimumSectionSize(height);
  rows.setDefaultSectionSize(height);
  rows.setSectionResizeMode(QHeaderView::Fixed);
  view.horizontalHeader()->setStretchLastSection(true);
}

// Each column as wide as its heading and the widest of its first rows; the
// rows further down are not read for it.
void sizeColumns(QTableView& view, const QueryModel& model) {
  const QFontMetrics cells = view.fontMetrics();
  const QFontMetrics headings = view.horizontalHeader()->fontMetrics();
  const int sample = std::min(model.rowCount(), kRowsMeasured);
  for (int column = 0; column < model.columnCount(); ++column) {
    int width = headings.horizontalAdvance(model.columnNames()[column]) + 2 * kHeadingMarginPixels;
    for (int row = 0; row < sample; ++row)
      width = std::max(width, cells.horizontalAdvance(model.text(row, column)) + 2 * kCellMarginPixels + 1);
    view.horizontalHeader()->resizeSection(column, width);
  }
}

}  // namespace

QueryModel& boundModel(QTableView& view) {
  if (auto* model = qobject_cast<QueryModel*>(view.model())) return *model;
  auto* model = new QueryModel(&view);
  useGridText(*model);
  useSingleLineRows(view);
  view.setModel(model);
  return *model;
}

void bindGrid(QTableView& view, db::Connection& db, GridQuery query) {
  auto* model = new QueryModel(&view);
  useGridText(*model);
  try {
    model->setQuery(db, std::move(query));
  } catch (...) {
    delete model;
    throw;
  }
  QAbstractItemModel* previous = view.model();
  QItemSelectionModel* previousSelection = view.selectionModel();
  useSingleLineRows(view);
  view.setModel(model);
  sizeColumns(view, *model);
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
