#include "admin/models/bound_grid.h"

#include <QDateTime>
#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>

#include "admin/models/grid_records.h"
#include "admin/models/painted_work.h"
#include "admin/models/query_model.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/start_up.h"

namespace travik {

namespace {

// Room above and below a cell's text.
constexpr int kRowMarginPixels = 2;
// Rows that set a column's width beside its known forms: the first page,
// about what a grid shows.
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

// The text as wide as the widest of its digits can make it: a number or a
// time sampled in one row then stands for the same form in any other.
QString withWidestDigits(QString text, QChar widest) {
  for (QChar& c : text)
    if (c.isDigit()) c = widest;
  return text;
}

QChar widestDigit(const QFontMetricsF& font) {
  QChar widest = QLatin1Char('0');
  for (char digit = '1'; digit <= '9'; ++digit)
    if (font.horizontalAdvance(QLatin1Char(digit)) > font.horizontalAdvance(widest)) widest = QLatin1Char(digit);
  return widest;
}

// The width a cell needs to show the text whole: the text and the margins
// the view's style gives an item, as the style measures them when it
// decides to elide, and the grid line.
int cellWidth(const QTableView& view, const QString& text) {
  QStyleOptionViewItem option;
  option.initFrom(&view);
  option.font = view.font();
  option.fontMetrics = view.fontMetrics();
  option.features = QStyleOptionViewItem::HasDisplay;
  option.text = text;
  const int item = view.style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), &view).width();
  return item + (view.showGrid() ? 1 : 0);
}

// Each column as wide as its heading and its widest text: the widest its
// form allows where the column's values have a known form (times, ids,
// codes), and else the widest of its first rows with every digit at its
// widest.  The rows further down are not read for it.
void sizeColumns(QTableView& view, const QueryModel& model) {
  const QFontMetricsF font(view.font());
  const QChar digit = widestDigit(font);
  const QHeaderView& header = *view.horizontalHeader();
  const int sample = std::min(model.rowCount(), kRowsMeasured);
  for (int column = 0; column < model.columnCount(); ++column) {
    QString widest;
    qreal widestAdvance = -1;
    auto consider = [&](const QString& text) {
      QString shown = withWidestDigits(text, digit);
      const qreal advance = font.horizontalAdvance(shown);
      if (advance > widestAdvance) {
        widest = std::move(shown);
        widestAdvance = advance;
      }
    };
    for (const QString& text : widestCellTexts(model.columnNames()[column])) consider(text);
    for (int row = 0; row < sample; ++row) consider(model.text(row, column));
    const int width = std::max(header.sectionSizeHint(column), widest.isEmpty() ? 0 : cellWidth(view, widest));
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
        {
          PaintedWork painted(program.db);
          writeGridFile(model ? *model : empty, file);
        }
        program.host.messageBox(std::string(grid.message) + file.string() + ".", kApplicationTitle, MessageButtons::Ok,
                                MessageIcon::None);
      },
      // A save that failed says so: the click must not look like nothing happened.
      ErrorHandler::Standard);
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
