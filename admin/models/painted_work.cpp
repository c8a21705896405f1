#include "admin/models/painted_work.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QWidget>

#include "admin/models/query_model.h"
#include "platform/windowing.h"

namespace travik {

namespace {

// Steps of a statement between two looks at the clock: a few microseconds.
constexpr int kStepsBetweenLooks = 1000;

PaintedWork* outermost = nullptr;
bool repainting = false;

}  // namespace

PaintedWork::PaintedWork(db::Connection& db, std::chrono::milliseconds repaintEvery)
    : db_(outermost ? nullptr : &db),
      repaintEvery_(repaintEvery),
      nextRepaint_(std::chrono::steady_clock::now() + repaintEvery) {
  if (!db_) return;
  outermost = this;
  db_->setProgressHandler(kStepsBetweenLooks, &PaintedWork::onProgress, this);
}

PaintedWork::~PaintedWork() {
  if (!db_) return;
  db_->setProgressHandler(0, nullptr, nullptr);
  outermost = nullptr;
  // Rows left empty while a statement ran are read and shown now.
  if (!QueryModel::takeHeldBackRead()) return;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (!window->isVisible()) continue;
    QList<QAbstractItemView*> grids = window->findChildren<QAbstractItemView*>();
    if (auto* grid = qobject_cast<QAbstractItemView*>(window)) grids.append(grid);
    for (QAbstractItemView* grid : grids)
      if (qobject_cast<const QueryModel*>(grid->model())) grid->viewport()->update();
  }
}

int PaintedWork::onProgress(void* context) {
  auto& work = *static_cast<PaintedWork*>(context);
  const auto now = std::chrono::steady_clock::now();
  // A statement that the repaint itself ran (none should) repaints no further.
  if (now < work.nextRepaint_ || repainting) return 0;
  repainting = true;
  QueryModel::holdReads(true);
  // Nothing may unwind through the database's own code.
  try {
    platform::paintPending();
  } catch (...) {
  }
  QueryModel::holdReads(false);
  repainting = false;
  ++work.repaints_;
  work.nextRepaint_ = std::chrono::steady_clock::now() + work.repaintEvery_;
  return 0;
}

}  // namespace travik
