#include "admin/grid_windows/grid_window.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QTableView>
#include <algorithm>

#include "admin/console/console.h"
#include "admin/widgets/controls.h"
#include "admin/widgets/window_geometry.h"
#include "processing/runtime/error_handling.h"

namespace travik {

GridWindow::GridWindow(Console& console, const GridWindowDesign& design) : console_(console), design_(design) {
  setObjectName(QString::fromLatin1(design.formName));
  setWindowTitle(QString::fromUtf8(design.caption));

  cmdSave = new QPushButton(QStringLiteral("Save to file"), this);
  cmdSave->setObjectName(QString::fromLatin1(design.saveName));
  placeInTwips(cmdSave, 60, 240, 1335, 255);
  cmdClose = new QPushButton(QStringLiteral("&Close"), this);
  cmdClose->setObjectName(QStringLiteral("cmdClose"));
  placeInTwips(cmdClose, design.closeLeftTwips, 60, 1395, 375);
  grid = new QTableView(this);
  grid->setObjectName(QString::fromLatin1(design.gridName));
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  placeInTwips(grid, 60, 480, design.gridWidthTwips, 2475);
  // As designed the button reaches 15 twips into the grid, which is drawn
  // over its bottom edge: it ends where the grid begins.
  cmdSave->resize(cmdSave->width(), grid->y() - cmdSave->y());
  boundModel(*grid);

  connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });
  closeOnEscape(*cmdClose);

  resizeMinimumClientInTwips(*this, kGridWindowMinimumWidthTwips, kGridWindowMinimumHeightTwips);
}

Program& GridWindow::program() const { return console_.program; }

std::string GridWindow::procedureName(std::string_view handler) const {
  std::string name(handler);
  name += " of Form ";
  name += design_.formName;
  return name;
}

void GridWindow::formResize() {
  if (isMinimized()) return;
  guard(
      program(), procedureName("Form_Resize"),
      [&] {
        const QSize client = keepMinimumClientSize(*this, kGridWindowMinimumWidthTwips, kGridWindowMinimumHeightTwips);
        // fitGridToWindow
        const TwipScale scale = twipScale(*this);
        grid->resize(scale.x(client.width() - kGridWidthMarginTwips),
                     scale.y(client.height() - kGridHeightMarginTwips));
      },
      ErrorHandler::BoxAndCount);
}

void GridWindow::cmdClose_Click() {
  hide();
  clearGrid(*grid);
}

void GridWindow::formUnload() {
  hide();
  clearGrid(*grid);
}

void GridWindow::saveToFile(std::string_view procedure) { saveGrid(program(), *grid, design_.file, procedure); }

void GridWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  formResize();
}

void GridWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  formUnload();
}

}  // namespace travik
