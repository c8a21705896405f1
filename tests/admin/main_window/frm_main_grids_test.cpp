// The main window's calls and errors grids: Show All, the date filter, the
// clicks that pair a call with its error, the detail and totals buttons, and
// the save operation every grid of the console shares.
#include <QDateTimeEdit>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include "admin/grid_windows/frm_events_for_call.h"
#include "admin/grid_windows/frm_recipients_for_task.h"
#include "admin/grid_windows/frm_tasks_for_call.h"
#include "admin/models/bound_grid.h"
#include "admin/models/grid_records.h"
#include "admin/models/query_model.h"
#include "admin/windows/frm_progress.h"
#include "tests/admin/call_rows.h"
#include "tests/admin/console_fixture.h"

namespace travik {
namespace {

namespace fs = std::filesystem;
using test::CallRow;

const DateTime kDay(2024, 3, 4);

// Counts how often a window was shown.
class ShowCounter : public QObject {
 public:
  int shows = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Show) ++shows;
    return false;
  }
};

class GridsTest : public test::ConsoleFixture {
 protected:
  GridsTest() { connect(); }

  std::string call(int hour, int minute, std::optional<int> endMinutes, int line = 1,
                   const std::string& serial = "Unknown") {
    const DateTime begin = kDay.addHours(hour).addMinutes(minute);
    CallRow row{begin, std::nullopt, line, "OK", serial};
    if (endMinutes) row.end = begin.addMinutes(*endMinutes);
    return test::insertCall(program(), row);
  }
  void error(const std::string& callId, int hour, int minute, int second = 0) {
    test::insertError(program(), callId, kDay.addHours(hour).addMinutes(minute).addSeconds(second));
  }
  // The texts of one column of a grid, top to bottom.
  static std::vector<std::string> column(QTableView* view, int field) {
    std::vector<std::string> texts;
    const QueryModel& model = boundModel(*view);
    for (int row = 0; row < model.rowCount(); ++row) texts.push_back(model.text(row, field).toStdString());
    return texts;
  }
  void setPickers(const DateTime& start, const DateTime& end) {
    frmMain().dtpStartRange->setDateTime(toQDateTime(start));
    frmMain().dtpEndRange->setDateTime(toQDateTime(end));
  }
  void showMainWindow() {
    frmMain().show();
    frmMain().resize(1200, 900);
  }
};

TEST_F(GridsTest, AnEmptyDatabaseShowsHeadingsOnlyAndLeavesThePickersAlone) {
  frmMain().formLoad();
  const QueryModel& calls = boundModel(*frmMain().flxCalls);
  EXPECT_EQ(calls.rowCount(), 0);
  ASSERT_EQ(calls.columnCount(), 21);
  EXPECT_EQ(calls.columnNames().front().toStdString(), "timestampbegin");
  EXPECT_EQ(calls.columnNames().back().toStdString(), "voicenamessent");
  EXPECT_EQ(boundModel(*frmMain().flxErrors).columnCount(), 11);
  EXPECT_EQ(fromQDateTime(frmMain().dtpStartRange->dateTime()), clock.addHours(-24));
  EXPECT_EQ(fromQDateTime(frmMain().dtpEndRange->dateTime()), clock);

  ShowCounter counter;
  console->frmProgress().installEventFilter(&counter);
  frmMain().cmdUpdateGridFilters->click();
  EXPECT_EQ(counter.shows, 1);
  EXPECT_TRUE(console->frmProgress().isHidden());
  EXPECT_EQ(console->frmProgress().lblProgress->text().toStdString(), "Filtering...this may take a moment...");
  EXPECT_EQ(boundModel(*frmMain().flxErrors).rowCount(), 0);
  EXPECT_EQ(host.mousePointer(), kPointerDefault);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(GridsTest, ShowAllListsEveryCallInBeginOrderAndSetsThePickersToTheFirstAndLastBegin) {
  const std::string late = call(15, 0, 10);
  const std::string open = call(12, 0, std::nullopt, 2);
  const std::string early = call(9, 30, 5);
  error(late, 15, 5);
  error(early, 9, 31);
  frmMain().formLoad();

  EXPECT_EQ(column(frmMain().flxCalls, grid_field::kCallId), (std::vector<std::string>{early, open, late}));
  EXPECT_EQ(column(frmMain().flxCalls, grid_field::kCallBegin),
            (std::vector<std::string>{"3/4/2024 9:30:00 AM", "3/4/2024 12:00:00 PM", "3/4/2024 3:00:00 PM"}));
  // An open call shows without end, duration or exit code; Yes/No reads True/False.
  EXPECT_EQ(boundModel(*frmMain().flxCalls).text(1, columnOf(kCallsGrid, "timestampend")).toStdString(), "");
  EXPECT_EQ(boundModel(*frmMain().flxCalls).text(1, columnOf(kCallsGrid, "inbound")).toStdString(), "True");
  EXPECT_EQ(column(frmMain().flxErrors, grid_field::kErrorCallId), (std::vector<std::string>{early, late}));
  EXPECT_EQ(frmMain().shownRangeStart, kDay.addHours(9).addMinutes(30));
  EXPECT_EQ(frmMain().shownRangeEnd, kDay.addHours(15));
  EXPECT_EQ(fromQDateTime(frmMain().dtpStartRange->dateTime()), kDay.addHours(9).addMinutes(30));
  EXPECT_EQ(fromQDateTime(frmMain().dtpEndRange->dateTime()), kDay.addHours(15));
}

TEST_F(GridsTest, TheFilterShowsFinishedCallsInsideTheRangeAndTheErrorsOfTheirSpan) {
  const std::string before = call(9, 0, 5);     // begins before the range
  const std::string inside = call(10, 0, 10);   // 10:00-10:10
  call(11, 0, std::nullopt);                    // open: never in a filtered view
  const std::string second = call(11, 30, 5);   // 11:30-11:35
  const std::string tooLong = call(12, 0, 30);  // ends after the range
  error(before, 9, 59, 59);                     // just before the first shown begin
  error(inside, 10, 0);                         // at the first shown begin
  error(tooLong, 11, 35);                       // at the latest shown end, though of another call
  error(tooLong, 11, 35, 1);                    // just after it
  frmMain().formLoad();

  setPickers(kDay.addHours(9).addMinutes(30), kDay.addHours(12).addMinutes(20));
  frmMain().cmdUpdateGridFilters_Click();
  EXPECT_EQ(column(frmMain().flxCalls, grid_field::kCallId), (std::vector<std::string>{inside, second}));
  EXPECT_EQ(column(frmMain().flxErrors, grid_field::kErrorCallId), (std::vector<std::string>{inside, tooLong}));
  EXPECT_EQ(frmMain().errorsRangeStart, kDay.addHours(10));
  EXPECT_EQ(frmMain().errorsRangeEnd, kDay.addHours(11).addMinutes(35));

  // Right after Show All the end picker holds the last call's begin, so that
  // call, which ends later, drops out of the filtered view.
  frmMain().cmdShowAll_Click();
  EXPECT_EQ(boundModel(*frmMain().flxCalls).rowCount(), 5);
  frmMain().cmdUpdateGridFilters_Click();
  EXPECT_EQ(column(frmMain().flxCalls, grid_field::kCallId), (std::vector<std::string>{before, inside, second}));
}

TEST_F(GridsTest, ARangeWithoutCallsClearsTheErrorsGrid) {
  const std::string id = call(10, 0, 10);
  error(id, 10, 5);
  frmMain().formLoad();
  ASSERT_EQ(boundModel(*frmMain().flxErrors).rowCount(), 1);
  setPickers(kDay.addHours(13), kDay.addHours(14));
  frmMain().cmdUpdateGridFilters_Click();
  EXPECT_EQ(boundModel(*frmMain().flxCalls).rowCount(), 0);
  EXPECT_EQ(boundModel(*frmMain().flxErrors).rowCount(), 0);
}

TEST_F(GridsTest, TabLeavesADatePickerWhileLeftAndRightMoveBetweenItsFields) {
  FrmMain& w = frmMain();
  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  QDateTimeEdit* start = w.dtpStartRange;
  start->setDateTime(QDateTime(QDate(2024, 3, 4), QTime(9, 15, 30)));
  start->setFocus();
  ASSERT_TRUE(start->hasFocus());
  start->setCurrentSectionIndex(0);

  // Right walks month, day, year, hour, minute, second, AM/PM and stops there;
  // Left walks back and stops at the month.
  const int fields = start->sectionCount();
  ASSERT_EQ(fields, 7);
  for (int field = 1; field < fields + 2; ++field) {
    QTest::keyClick(start, Qt::Key_Right);
    ASSERT_TRUE(start->hasFocus());
    EXPECT_EQ(start->currentSectionIndex(), std::min(field, fields - 1));
  }
  EXPECT_EQ(start->currentSection(), QDateTimeEdit::AmPmSection);
  for (int field = fields - 2; field >= -1; --field) QTest::keyClick(start, Qt::Key_Left);
  EXPECT_EQ(start->currentSection(), QDateTimeEdit::MonthSection);

  // Up and typing change the chosen field.
  QTest::keyClick(start, Qt::Key_Right);
  QTest::keyClick(start, Qt::Key_Up);
  EXPECT_EQ(start->date(), QDate(2024, 3, 5));
  QTest::keyClick(start, Qt::Key_Right);
  QTest::keyClick(start, Qt::Key_Right);
  QTest::keyClicks(start, QStringLiteral("11"));
  EXPECT_EQ(start->time(), QTime(11, 15, 30));

  // Tab leaves for the end picker, then the Apply button; Shift+Tab comes back.
  QTest::keyClick(start, Qt::Key_Tab);
  EXPECT_TRUE(w.dtpEndRange->hasFocus());
  QTest::keyClick(w.dtpEndRange, Qt::Key_Tab);
  EXPECT_TRUE(w.cmdUpdateGridFilters->hasFocus());
  QTest::keyClick(w.cmdUpdateGridFilters, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_TRUE(w.dtpEndRange->hasFocus());
  QTest::keyClick(w.dtpEndRange, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_TRUE(start->hasFocus());
  EXPECT_EQ(start->dateTime(), QDateTime(QDate(2024, 3, 5), QTime(11, 15, 30)));
}

TEST_F(GridsTest, AClickedCallBringsItsErrorToTheTopAndAClickedErrorItsCall) {
  std::vector<std::string> ids;
  for (int i = 0; i < 40; ++i) {
    ids.push_back(call(8, i, 1, i % 4 + 1));
    if (i != 5) error(ids.back(), 8, i, 30);
  }
  frmMain().formLoad();
  showMainWindow();
  FrmMain& w = frmMain();
  console->frmTasksForCall().cmdViewRecipients->setEnabled(true);

  // A real click on the twelfth call: the errors grid scrolls its error (the
  // eleventh, as the sixth call has none) to the top.
  w.flxCalls->scrollTo(boundModel(*w.flxCalls).index(11, 0));
  const QRect cell = w.flxCalls->visualRect(boundModel(*w.flxCalls).index(11, 4));
  QTest::mouseClick(w.flxCalls->viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_TRUE(w.cmdViewTasks->isEnabled());
  EXPECT_TRUE(w.cmdViewCallDetail->isEnabled());
  EXPECT_FALSE(console->frmTasksForCall().cmdViewRecipients->isEnabled());
  EXPECT_EQ(w.flxCalls->currentIndex().column(), grid_field::kCallId);
  EXPECT_EQ(currentRow(*w.flxErrors), 10);
  EXPECT_EQ(w.flxErrors->rowAt(0), 10);

  // A call without an error leaves the errors grid where it was.
  w.flxCalls->setCurrentIndex(boundModel(*w.flxCalls).index(5, 0));
  QTest::keyClick(w.flxCalls, Qt::Key_Return);
  EXPECT_EQ(currentRow(*w.flxErrors), 10);

  // An error finds its call.
  w.flxErrors->setCurrentIndex(boundModel(*w.flxErrors).index(20, 0));
  w.flxErrors_Click();
  EXPECT_EQ(currentRow(*w.flxCalls), 21);
  EXPECT_EQ(w.flxCalls->rowAt(0), 21);
}

TEST_F(GridsTest, GridsOfManyPagesJumpToPartnerRowsAndToTheEnd) {
  // 700 calls, an error for every third: several pages of either grid.
  std::vector<std::string> ids;
  program().db.exec("begin");
  for (int i = 0; i < 700; ++i) {
    ids.push_back(call(0, i * 2, 1, i % 8 + 1));
    if (i % 3 == 0) error(ids.back(), 0, i * 2, 30);
  }
  program().db.exec("commit");
  frmMain().formLoad();
  showMainWindow();
  FrmMain& w = frmMain();

  // Ctrl+End reaches the last call; its error is the last error.
  w.flxCalls->setCurrentIndex(boundModel(*w.flxCalls).index(0, 0));
  QTest::keyClick(w.flxCalls, Qt::Key_End, Qt::ControlModifier);
  ASSERT_EQ(currentRow(*w.flxCalls), 699);
  EXPECT_EQ(boundModel(*w.flxCalls).text(699, grid_field::kCallId).toStdString(), ids[699]);
  w.flxCalls_Click();
  EXPECT_EQ(currentRow(*w.flxErrors), 233);
  // From an error far up, back to its call, scrolled to the top.
  w.flxErrors->setCurrentIndex(boundModel(*w.flxErrors).index(150, 0));
  w.flxErrors_Click();
  EXPECT_EQ(currentRow(*w.flxCalls), 450);
  EXPECT_EQ(w.flxCalls->rowAt(0), 450);
  // And from that call to its error again, in a grid that paged meanwhile.
  w.flxCalls_Click();
  EXPECT_EQ(currentRow(*w.flxErrors), 150);
  EXPECT_EQ(w.flxErrors->rowAt(0), 150);

  // The saved grid holds every row, in order.
  w.cmdSaveCallsGrid_Click();
  const std::string text = test::readFile(test.outputFolder() / "CallsGrid_240305_10_00_00.csv");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 701);
  EXPECT_LT(text.find(ids[0]), text.find(ids[350]));
  EXPECT_LT(text.find(ids[350]), text.find(ids[699]));
}

TEST_F(GridsTest, GridRowsAreSingleLinesAndColumnsShowWholeDatesAndCallIds) {
  for (int i = 0; i < 30; ++i) call(12, 58 + i, 1, i % 3 + 1);
  frmMain().formLoad();
  frmMain().show();
  FrmMain& w = frmMain();
  QTableView& calls = *w.flxCalls;
  const QueryModel& model = boundModel(calls);
  const QFontMetrics font = calls.fontMetrics();
  EXPECT_FALSE(calls.wordWrap());
  EXPECT_EQ(calls.rowHeight(0), font.height() + 2);
  EXPECT_EQ(calls.rowHeight(29), calls.rowHeight(0));
  // Dates on one line in the general form, call ids whole, headings whole.
  EXPECT_EQ(model.text(0, grid_field::kCallBegin).toStdString(), "3/4/2024 12:58:00 PM");
  for (int field : {grid_field::kCallBegin, columnOf(kCallsGrid, "timestampend"), grid_field::kCallId}) {
    EXPECT_GE(calls.columnWidth(field), font.horizontalAdvance(model.text(0, field)) + 6) << field;
    EXPECT_GE(calls.columnWidth(field),
              calls.horizontalHeader()->fontMetrics().horizontalAdvance(model.columnNames()[field]))
        << field;
  }
  // The grid shows as many rows as its height holds.
  const int shown = calls.rowAt(calls.viewport()->height() - 1);
  EXPECT_GE(shown + 1, calls.viewport()->height() / calls.rowHeight(0));

  // The events window's text column takes the width left over, and more as the window grows.
  const DateTime begin = kDay.addHours(12).addMinutes(58);
  test::insertEvent(program(), begin, 0, 1, 1, "CALL CONNECTED 1 -> 5001");
  calls.setCurrentIndex(model.index(0, 0));
  w.cmdViewCallDetail_Click();
  FrmEventsForCall& events = console->frmEventsForCall();
  QTableView& grid = *events.flxEvents;
  constexpr int data = columnOf(kEventsGrid, "Data");
  int others = 0;
  for (int column = 0; column < data; ++column) others += grid.columnWidth(column);
  EXPECT_GE(grid.columnWidth(data), grid.viewport()->width() - others);
  const int before = grid.columnWidth(data);
  events.resize(events.width() + 300, events.height());
  QApplication::processEvents();
  EXPECT_GE(grid.columnWidth(data), before + 250);
}

TEST_F(GridsTest, TheTasksWindowListsTheCallsTasksAndLeadsToTheRecipientsOfOne) {
  const std::string first = call(10, 0, 5);
  const std::string second = call(11, 0, 5);
  test::insertTask(program(), first, "T.2", kDay.addHours(10).addMinutes(2));
  test::insertTask(program(), first, "T.1", kDay.addHours(10).addMinutes(1));
  test::insertTask(program(), second, "T.9", kDay.addHours(11).addMinutes(1));
  test::insertRecipient(program(), first, "T.1", "5002");
  test::insertRecipient(program(), first, "T.1", "5001", "Extended Absence greeting is enabled");
  test::insertRecipient(program(), first, "T.2", "6000");
  frmMain().formLoad();
  FrmMain& w = frmMain();
  FrmTasksForCall& tasks = console->frmTasksForCall();
  FrmRecipientsForTask& recipients = console->frmRecipientsForTask();

  w.flxCalls->setCurrentIndex(boundModel(*w.flxCalls).index(0, 0));
  w.flxCalls_Click();
  w.cmdViewTasks->click();
  ASSERT_TRUE(tasks.isVisible());
  EXPECT_EQ(tasks.windowTitle().toStdString(), "Tasks for CallID " + first);
  EXPECT_EQ(column(tasks.flxTasks, grid_field::kTaskId), (std::vector<std::string>{"T.1", "T.2"}));
  EXPECT_EQ(boundModel(*tasks.flxTasks).columnCount(), 14);
  EXPECT_FALSE(tasks.cmdViewRecipients->isEnabled());

  tasks.flxTasks->setCurrentIndex(boundModel(*tasks.flxTasks).index(0, 0));
  tasks.flxTasks_Click();
  ASSERT_TRUE(tasks.cmdViewRecipients->isEnabled());
  tasks.cmdViewRecipients->click();
  ASSERT_TRUE(recipients.isVisible());
  EXPECT_EQ(recipients.windowTitle().toStdString(), "Recipients for TaskID T.1");
  EXPECT_EQ(column(recipients.flxRecipients, columnOf(kRecipientsGrid, "recipient")),
            (std::vector<std::string>{"5001", "5002"}));
  EXPECT_EQ(column(recipients.flxRecipients, columnOf(kRecipientsGrid, "rejected")),
            (std::vector<std::string>{"True", "False"}));
  EXPECT_EQ(w.flxCalls->currentIndex().column(), grid_field::kCallId);

  // Another call: the task choice is gone, and the window shows that call's tasks.
  w.flxCalls->setCurrentIndex(boundModel(*w.flxCalls).index(1, 0));
  w.flxCalls_Click();
  EXPECT_FALSE(tasks.cmdViewRecipients->isEnabled());
  w.cmdViewTasks_Click();
  EXPECT_EQ(tasks.windowTitle().toStdString(), "Tasks for CallID " + second);
  EXPECT_EQ(column(tasks.flxTasks, grid_field::kTaskId), (std::vector<std::string>{"T.9"}));

  // A task without recipients: the heading row only.
  test::insertTask(program(), second, "T.8", kDay.addHours(11));
  w.cmdViewTasks_Click();
  tasks.flxTasks->setCurrentIndex(boundModel(*tasks.flxTasks).index(0, 0));
  tasks.flxTasks_Click();
  tasks.cmdViewRecipients_Click();
  EXPECT_EQ(recipients.windowTitle().toStdString(), "Recipients for TaskID T.8");
  EXPECT_EQ(boundModel(*recipients.flxRecipients).rowCount(), 0);
  EXPECT_EQ(boundModel(*recipients.flxRecipients).columnCount(), 7);
}

TEST_F(GridsTest, TheEventsWindowListsTheWholeLineAndMarksTheCallsFirstEvent) {
  const DateTime begin = kDay.addHours(10);
  for (int i = 0; i < 30; ++i)
    test::insertEvent(program(), begin.addSeconds(i - 12), 0, 1, 3, "event " + std::to_string(i));
  // Two more in the call's first second, after the one already there.
  test::insertEvent(program(), begin, 500, 1, 3, "later in the second");
  test::insertEvent(program(), begin, 0, 2, 3, "same instant");
  test::insertEvent(program(), begin, 0, 1, 4, "another line");
  test::insertCall(program(), CallRow{begin, begin.addMinutes(1), 3});
  frmMain().formLoad();
  FrmMain& w = frmMain();
  w.flxCalls->setCurrentIndex(boundModel(*w.flxCalls).index(0, 0));
  w.flxCalls_Click();
  w.cmdViewCallDetail->click();

  FrmEventsForCall& events = console->frmEventsForCall();
  ASSERT_TRUE(events.isVisible());
  EXPECT_EQ(events.windowTitle().toStdString(), "Call Events for Line 3");
  const QueryModel& model = boundModel(*events.flxEvents);
  ASSERT_EQ(model.rowCount(), 32);
  EXPECT_EQ(model.text(12, columnOf(kEventsGrid, "Data")).toStdString(), "event 12");
  EXPECT_EQ(model.text(13, columnOf(kEventsGrid, "Data")).toStdString(), "same instant");
  EXPECT_EQ(currentRow(*events.flxEvents), 12);
  EXPECT_EQ(events.flxEvents->rowAt(0), 9);
  for (int field = 0; field < grid_field::kEventFields; ++field)
    EXPECT_EQ(model.data(model.index(12, field), Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 0)) << field;
  EXPECT_FALSE(model.data(model.index(13, 0), Qt::BackgroundRole).isValid());
}

TEST_F(GridsTest, ACallWhoseFirstEventsAreGoneOpensTheEventsAtTheTopWithNothingMarked) {
  const DateTime begin = kDay.addHours(10);
  test::insertEvent(program(), begin.addSeconds(5), 0, 1, 2, "after the begin");
  test::insertCall(program(), CallRow{begin, begin.addMinutes(1), 2});
  frmMain().formLoad();
  frmMain().flxCalls->setCurrentIndex(boundModel(*frmMain().flxCalls).index(0, 0));
  frmMain().cmdViewCallDetail_Click();
  FrmEventsForCall& events = console->frmEventsForCall();
  const QueryModel& model = boundModel(*events.flxEvents);
  ASSERT_EQ(model.rowCount(), 1);
  EXPECT_FALSE(model.data(model.index(0, 0), Qt::BackgroundRole).isValid());
  EXPECT_EQ(currentRow(*events.flxEvents), -1);
}

TEST(EventsWindow, TheFoundEventStandsThreeRowsBelowTheTopWhereItCan) {
  EXPECT_EQ(topRowShowing(0), 0);
  EXPECT_EQ(topRowShowing(1), 1);
  EXPECT_EQ(topRowShowing(2), 0);
  EXPECT_EQ(topRowShowing(3), 0);
  EXPECT_EQ(topRowShowing(9), 6);
}

TEST_F(GridsTest, SavingAGridWritesItWithItsHeadingsAndLeftColumnAndSaysWhere) {
  const std::string id =
      test::insertCall(program(), CallRow{kDay.addHours(10), kDay.addHours(11), 1, "OK", "12,\"3\""});
  frmMain().formLoad();
  frmMain().cmdSaveCallsGrid->click();
  const fs::path file = test.outputFolder() / "CallsGrid_240305_10_00_00.csv";
  ASSERT_TRUE(fs::exists(file));
  const std::string text = test::readFile(file);
  EXPECT_EQ(text.substr(0, text.find("\r\n")),
            ",timestampbegin,timestampend,callid,inbound,line,durationInSeconds,exitcode,corvaneserialnumber,"
            "octelserialnumber,protocollevel,msgsendattempt,msgsendsuccess,msgreceiveattempt,msgreceivesuccess,"
            "numberrecipientssent,adminnamesrequested,textnamesreceived,voicenamesreceived,adminnamerequestsrecd,"
            "textnamessent,voicenamessent");
  // The serial number's comma and quotes are kept inside one field.
  EXPECT_NE(text.find("\r\n,3/4/2024 10:00:00 AM,3/4/2024 11:00:00 AM," + id +
                      ",True,1,3600,OK,Unknown,\"12,\"\"3\"\"\",2,0,"),
            std::string::npos);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Calls grid has been saved as " + file.string() + ".");
  EXPECT_EQ(boxes[0].icon, MessageIcon::None);
  EXPECT_EQ(boxes[0].buttons, MessageButtons::Ok);

  frmMain().cmdSaveErrorsGrid_Click();
  EXPECT_TRUE(fs::exists(test.outputFolder() / "ErrorsGrid_240305_10_00_00.csv"));
  EXPECT_EQ(boxes.back().text.rfind("Errors grid has been saved as ", 0), 0u);
}

TEST_F(GridsTest, SavingWithoutAnOutputFolderOnlySaysSo) {
  frmMain().formLoad();
  fs::remove_all(test.outputFolder());
  frmMain().cmdSaveCallsGrid_Click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Configure Valid Output Folder");
  EXPECT_FALSE(fs::exists(test.outputFolder()));
  EXPECT_EQ(program().handledErrorCount, 0);
}

TEST_F(GridsTest, AFailedSaveSaysSoInABoxAndTheLog) {
  test.openLog();
  frmMain().formLoad();
  // A folder where the file should go: the file cannot be created.
  fs::create_directories(test.outputFolder() / "CallsGrid_240305_10_00_00.csv");
  frmMain().cmdSaveCallsGrid_Click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("in procedure cmdSaveCallsGrid_Click() of Form frmMain"), std::string::npos);
  EXPECT_EQ(program().handledErrorCount, 1);
  EXPECT_NE(activityLog().find("in procedure cmdSaveCallsGrid_Click() of Form frmMain"), std::string::npos);
}

}  // namespace
}  // namespace travik
