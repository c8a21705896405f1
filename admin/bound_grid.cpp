#include "admin/bound_grid.h"

#include <QDateTime>
#include <QEvent>
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

// Room beside a cell's text (the style's text margin on each side, then the
// grid line), above and below it, and beside a heading.
constexpr int kCellMarginPixels = 3;
constexpr int kRowMarginPixels = 2;
constexpr int kHeadingMarginPixels = 8;
// Rows that set a column's width: the first page, about what a grid shows.
constexpr int kRowsMeasured = 64;

// Gives the last column the width the others leave in the view, but never
// less than its own: it follows the view as the window grows.
class LastColumnFiller : public QObject {
 public:
  explicit LastColumnFiller(QTableView& view) : QObject(&view), view_(view) {
    setObjectName(QString::fromLatin1(kName));
    view.viewport()->installEventFilter(this);
  }
  static LastColumnFiller& of(QTableView& view) {
    auto* filler = view.findChild<QObject*>(QString::fromLatin1(kName), Qt::FindDirectChildrenOnly);
    return filler ? *static_cast<LastColumnFiller*>(filler) : *new LastColumnFiller(view);
  }
  void fill() {
    const int last = view_.model() ? view_.model()->columnCount() - 1 : -1;
    if (last < 0) return;
    int others = 0;
    for (int column = 0; column < last; ++column) others += view_.columnWidth(column);
    view_.setColumnWidth(last, std::max(ownWidth, view_.viewport()->width() - others));
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Resize) fill();
    return false;
  }

  int ownWidth = 0;  // the last column's heading and first rows

 private:
  static constexpr const char* kName = "lastColumnFiller";
  QTableView& view_;
};

// Grid rows hold one line of text: no wrapping, every row as high as the
// font's line and the cell's margins, so the view need not measure rows.
void useSingleLineRows(QTableView& view) {
  view.setWordWrap(false);
  view.setTextElideMode(Qt::ElideRight);
  QHeaderView& rows = *view.verticalHeader();
  const int height = view.fontMetrics().height() + kRowMarginPixels;
  rows.setMinimumSectionSize(height);
  rows.setDefaultSectionSize(height);
  rows.setSectionResizeMode(QHeaderView::Fixed);
  LastColumnFiller::of(view);
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
    LastColumnFiller::of(view).ownWidth = width;
  }
  LastColumnFiller::of(view).fill();
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
