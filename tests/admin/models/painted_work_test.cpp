// Long work that keeps the windows painted: inside a running statement the
// windows repaint, while timers and other work wait and no grid reads the
// connection; the grids catch up once the work is done.
#include "admin/models/painted_work.h"

#include <QTableView>
#include <QTimer>

#include "admin/models/bound_grid.h"
#include "admin/models/query_model.h"
#include "platform/windowing.h"
#include "tests/admin/console_fixture.h"

namespace travik {
namespace {

namespace fs = std::filesystem;

// Counts the paints a window gets, and those while a statement runs.
class PaintCounter : public QObject {
 public:
  bool inStatement = false;
  int paints = 0;
  int paintsInStatement = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints;
      if (inStatement) ++paintsInStatement;
    }
    return false;
  }
};

// A statement of many steps that changes nothing: the numbers up to n, summed.
std::int64_t longStatement(db::Connection& db, int n = 300000) {
  auto sum = db.prepare(
      "with recursive numbers(i) as (select 1 union all select i + 1 from numbers where i < ?1) "
      "select sum(i) from numbers");
  sum.bind(1, n);
  return sum.step() ? sum.getInt(0) : -1;
}

class PaintedWorkTest : public ::testing::Test {
 protected:
  PaintedWorkTest() {
    test::qtApplication();
    db.create((temp.path() / "work.db").string());
    db.exec("create table calls (callid text, line integer)");
    db.exec(
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 2000) "
        "insert into calls select 'call ' || i, i from n");
  }

  test::TempFolder temp;
  db::Connection db;
};

TEST_F(PaintedWorkTest, InsideARunningStatementTheWindowsRepaintWhileTimersWait) {
  QWidget window;
  window.resize(200, 100);
  PaintCounter counter;
  window.installEventFilter(&counter);
  platform::showPainted(window);
  bool timerRan = false;
  QTimer timer;
  timer.setInterval(0);
  QObject::connect(&timer, &QTimer::timeout, [&] { timerRan = true; });
  timer.start();

  // The work changes what the window shows; the change is painted in it.
  window.update();
  counter.inStatement = true;
  std::int64_t sum = 0;
  {
    PaintedWork painted(db, std::chrono::milliseconds(0));
    sum = longStatement(db);
    EXPECT_GT(painted.repaints(), 0);
  }
  counter.inStatement = false;
  EXPECT_EQ(sum, 300000LL * 300001 / 2);
  EXPECT_GT(counter.paintsInStatement, 0);
  EXPECT_FALSE(timerRan);

  // Outside the work, statements run without a call back.
  const int paints = counter.paints;
  window.update();
  longStatement(db);
  EXPECT_EQ(counter.paints, paints);
  QCoreApplication::processEvents();
  EXPECT_TRUE(timerRan);
}

TEST_F(PaintedWorkTest, AGridReadsNoRowsInsideTheStatementAndShowsThemAfterTheWork) {
  QTableView view;
  view.resize(300, 200);
  bindGrid(view, db, {"callid, line", "calls", "", {}, {"line"}});
  platform::showPainted(view);
  const QueryModel& model = boundModel(view);
  // Scrolled far down: the rows now on screen are in no page read so far.
  setTopRow(view, 1500);
  ASSERT_EQ(view.rowAt(0), 1500);
  const int reads = model.pageReads();
  PaintCounter counter;
  view.viewport()->installEventFilter(&counter);
  counter.inStatement = true;
  {
    PaintedWork painted(db, std::chrono::milliseconds(0));
    longStatement(db);
  }
  counter.inStatement = false;
  EXPECT_GT(counter.paintsInStatement, 0);
  EXPECT_EQ(model.pageReads(), reads);
  // The work done, the grid reads its rows and paints them.
  QCoreApplication::processEvents();
  EXPECT_GT(model.pageReads(), reads);
  EXPECT_EQ(model.text(1500, 0).toStdString(), "call 1501");
}

TEST_F(PaintedWorkTest, AnInnerWorkLeavesItToTheOuterWhichOutlivesAReopenedConnection) {
  QWidget window;
  platform::showPainted(window);
  PaintedWork outer(db, std::chrono::milliseconds(0));
  { PaintedWork inner(db, std::chrono::milliseconds(0)); }
  longStatement(db, 20000);
  const int repaints = outer.repaints();
  EXPECT_GT(repaints, 0);
  // A run connects to the database anew before it starts.
  db.close();
  db.open((temp.path() / "work.db").string());
  longStatement(db, 20000);
  EXPECT_GT(outer.repaints(), repaints);
}

}  // namespace
}  // namespace travik
