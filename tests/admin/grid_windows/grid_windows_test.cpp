// The detail and totals windows as windows: their controls, their size rule,
// closing, and the grid file each one saves.
#include <QPushButton>
#include <QTableView>

#include "admin/grid_windows/frm_events_for_call.h"
#include "admin/grid_windows/frm_line_summary.h"
#include "admin/grid_windows/frm_octel_summary.h"
#include "admin/grid_windows/frm_recipients_for_task.h"
#include "admin/grid_windows/frm_tasks_for_call.h"
#include "admin/models/bound_grid.h"
#include "admin/models/grid_records.h"
#include "admin/models/query_model.h"
#include "admin/widgets/window_geometry.h"
#include "tests/admin/console_fixture.h"

namespace travik {
namespace {

namespace fs = std::filesystem;

class GridWindowsTest : public test::ConsoleFixture {
 protected:
  GridWindowsTest() { connect(); }

  struct Expected {
    GridWindow* window;
    const char* formName;
    const char* caption;
    const char* gridName;
    const char* saveName;
    const char* prefix;
    const char* message;
    void (*save)(GridWindow&);
  };

  std::vector<Expected> windows() {
    return {
        {&console->frmTasksForCall(), "frmTasksForCall", "Tasks for CallID", "flxTasks", "cmdSaveTasksGrid",
         "TasksGrid_", "Tasks grid has been saved as ",
         [](GridWindow& w) { static_cast<FrmTasksForCall&>(w).cmdSaveTasksGrid_Click(); }},
        {&console->frmRecipientsForTask(), "frmRecipientsForTask", "Recipients for TaskID", "flxRecipients",
         "cmdSaveRecipientsGrid", "RecipientsGrid_", "Recipients grid has been saved as ",
         [](GridWindow& w) { static_cast<FrmRecipientsForTask&>(w).cmdSaveRecipientsGrid_Click(); }},
        {&console->frmEventsForCall(), "frmEventsForCall", "Call Events for Line", "flxEvents", "cmdSaveEventsGrid",
         "CallDetailGrid_", "Call Details grid has been saved as ",
         [](GridWindow& w) { static_cast<FrmEventsForCall&>(w).cmdSaveEventsGrid_Click(); }},
        {&console->frmLineSummary(), "frmLineSummary", "Totals per Line", "flxLineSummary", "cmdSaveLineGrid",
         "LineTotalsGrid_", "Line Totals grid has been saved as ",
         [](GridWindow& w) { static_cast<FrmLineSummary&>(w).cmdSaveLineGrid_Click(); }},
        {&console->frmOctelSummary(), "frmOctelSummary", "Totals per Octel Node", "flxOctelSummary", "cmdSaveOctelGrid",
         "NodeTotalsGrid_", "Node Totals grid has been saved as ",
         [](GridWindow& w) { static_cast<FrmOctelSummary&>(w).cmdSaveOctelGrid_Click(); }},
    };
  }
};

TEST_F(GridWindowsTest, EachWindowCarriesItsNamesAndSavesUnderItsOwnPrefix) {
  int minute = 0;
  for (const Expected& e : windows()) {
    SCOPED_TRACE(e.formName);
    GridWindow& w = *e.window;
    EXPECT_EQ(w.objectName().toStdString(), e.formName);
    EXPECT_EQ(w.windowTitle().toStdString(), e.caption);
    EXPECT_EQ(w.grid->objectName().toStdString(), e.gridName);
    EXPECT_EQ(w.cmdSave->objectName().toStdString(), e.saveName);
    EXPECT_EQ(w.cmdSave->text().toStdString(), "Save to file");
    EXPECT_EQ(w.cmdClose->text().toStdString(), "&Close");

    clock = DateTime(2024, 3, 5, 10, minute++, 0);
    boxes.clear();
    e.save(w);
    const fs::path file = test.outputFolder() / (std::string(e.prefix) + clock.toFileStamp() + ".csv");
    EXPECT_TRUE(fs::exists(file));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, e.message + file.string() + ".");
  }
  auto& tasks = console->frmTasksForCall();
  EXPECT_EQ(tasks.cmdViewRecipients->text().toStdString(), "View &Recipients");
  EXPECT_FALSE(tasks.cmdViewRecipients->isEnabled());
}

TEST_F(GridWindowsTest, AWindowSnapsBackToItsMinimumAndItsGridKeepsItsMargins) {
  FrmOctelSummary& w = console->frmOctelSummary();
  w.show();
  const TwipScale s = twipScale(w);
  w.resize(100, 100);
  EXPECT_EQ(w.width(), s.xAtLeast(11520));
  EXPECT_EQ(w.height(), s.yAtLeast(3405));
  w.resize(1000, 400);
  EXPECT_EQ(w.grid->width(), s.x(s.twipsX(1000) - 240));
  EXPECT_EQ(w.grid->height(), s.y(s.twipsY(400) - 1000));
  EXPECT_EQ(w.cmdClose->pos(), QPoint(s.x(1800), s.y(60)));
}

TEST_F(GridWindowsTest, TheWindowsOpenClearOfTheMainWindowsButtons) {
  frmMain().show();
  frmMain().cmdViewPerLine->click();
  frmMain().cmdViewPerOctel->click();
  for (QWidget* window : std::initializer_list<QWidget*>{&console->frmLineSummary(), &console->frmOctelSummary()})
    for (const QPushButton* b : frmMain().findChildren<QPushButton*>())
      EXPECT_FALSE(b->window() == &frmMain() &&
                   window->frameGeometry().intersects(QRect(b->mapToGlobal(QPoint()), b->size())))
          << window->objectName().toStdString() << " over " << b->objectName().toStdString();
}

TEST_F(GridWindowsTest, ClosingHidesTheWindowAndLetsGoOfItsRowsUntilItOpensAgain) {
  program().db.exec("insert into octelsummary (octelserialnumber, calls) values ('Unknown', 3)");
  FrmOctelSummary& w = console->frmOctelSummary();
  w.showTotals();
  ASSERT_TRUE(w.isVisible());
  ASSERT_EQ(boundModel(*w.flxOctelSummary).rowCount(), 1);
  EXPECT_EQ(boundModel(*w.flxOctelSummary).text(0, columnOf(kOctelSummaryGrid, "octelserialnumber")).toStdString(),
            "Unknown");

  w.close();  // the title bar
  EXPECT_TRUE(w.isHidden());
  EXPECT_EQ(boundModel(*w.flxOctelSummary).rowCount(), 0);

  program().db.exec("delete from octelsummary");
  w.showTotals();
  EXPECT_EQ(boundModel(*w.flxOctelSummary).rowCount(), 0);
  EXPECT_EQ(boundModel(*w.flxOctelSummary).columnCount(), 19);
  w.cmdClose->click();
  EXPECT_TRUE(w.isHidden());
}

TEST_F(GridWindowsTest, AWindowThatCannotReadItsRowsStaysAsItWas) {
  program().db.exec("insert into linesummary (line, calls) values (1, 4)");
  FrmLineSummary& w = console->frmLineSummary();
  w.showTotals();
  w.hide();
  program().db.exec("alter table linesummary rename to linesummary_gone");
  frmMain().cmdViewPerLine_Click();
  EXPECT_TRUE(w.isHidden());
  EXPECT_EQ(boundModel(*w.flxLineSummary).rowCount(), 1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("in procedure cmdViewPerLine_Click() of Form frmMain"), std::string::npos);
  EXPECT_EQ(program().handledErrorCount, 1);
}

}  // namespace
}  // namespace travik
