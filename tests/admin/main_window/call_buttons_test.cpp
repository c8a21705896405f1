// The two buttons that act on one call wait for a call to be chosen, and the
// events window's mark of the call's first event is seen, not painted over
// by a selection.  Only the views' own models are used here.
#include <QImage>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "admin/grid_windows/frm_events_for_call.h"
#include "tests/admin/call_rows.h"
#include "tests/admin/console_fixture.h"

namespace travik {
namespace {

using test::CallRow;

const DateTime kBegin(2024, 3, 4, 10, 0, 0);

class CallButtonsTest : public test::ConsoleFixture {
 protected:
  CallButtonsTest() {
    connect();
    for (int i = 0; i < 3; ++i)
      test::insertCall(program(), CallRow{kBegin.addMinutes(10 * i), kBegin.addMinutes(10 * i + 1), 3});
    frmMain().formLoad();
    frmMain().show();
    frmMain().resize(1200, 900);
  }
  bool callButtonsEnabled() {
    const bool detail = frmMain().cmdViewCallDetail->isEnabled();
    EXPECT_EQ(frmMain().cmdViewTasks->isEnabled(), detail);
    return detail;
  }
  // A real click on a cell of the calls grid.
  void chooseCall(int row) {
    QTableView* calls = frmMain().flxCalls;
    const QRect cell = calls->visualRect(calls->model()->index(row, 4));
    QTest::mouseClick(calls->viewport(), Qt::LeftButton, {}, cell.center());
  }
};

TEST_F(CallButtonsTest, TheCallButtonsWaitForAChosenCallAfterEveryReload) {
  FrmMain& w = frmMain();
  EXPECT_FALSE(callButtonsEnabled());  // at start, before any choice
  chooseCall(1);
  EXPECT_TRUE(callButtonsEnabled());

  w.cmdShowAll->click();
  EXPECT_FALSE(callButtonsEnabled());
  chooseCall(0);
  EXPECT_TRUE(callButtonsEnabled());
  w.cmdUpdateGridFilters->click();
  EXPECT_FALSE(callButtonsEnabled());
}

TEST_F(CallButtonsTest, TheCallsFirstEventIsCurrentButNotSelectedSoItsMarkShows) {
  for (int i = 0; i < 20; ++i) test::insertEvent(program(), kBegin.addSeconds(i - 8), 0, 1, 3, "event");
  chooseCall(0);
  frmMain().cmdViewCallDetail->click();

  FrmEventsForCall& events = console->frmEventsForCall();
  QTableView* grid = events.flxEvents;
  ASSERT_TRUE(events.isVisible());
  ASSERT_EQ(grid->currentIndex().row(), 8);
  EXPECT_FALSE(grid->selectionModel()->hasSelection());

  // As painted: the cells of the marked row show yellow, the next row does not.
  const QImage shown = grid->viewport()->grab().toImage();
  const auto colourNear = [&](int row, int column) {
    const QRect cell = grid->visualRect(grid->model()->index(row, column));
    return shown.pixelColor(cell.right() - 2, cell.top() + 2);
  };
  for (int column = 0; column < 5; ++column) EXPECT_EQ(colourNear(8, column), QColor(255, 255, 0)) << column;
  EXPECT_NE(colourNear(9, 0), QColor(255, 255, 0));
}

}  // namespace
}  // namespace travik
