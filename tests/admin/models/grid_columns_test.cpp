// Every grid of the console shows its headings and cells whole, at the font
// sizes of 96, 120 and 144 dots per inch: each column is at least as wide as
// its heading and each of its cells need, measured with the grid's own font
// and its style's margins.
//
// A grid sizes its columns from its first rows and from the forms its values
// can take, never from all its rows.  So the rows here put the widest free
// text (serial numbers, digits, event data) among the first rows, and the
// widest times, exit codes and state and reason texts only further down,
// past the rows a grid reads to size itself.
#include <QFontMetricsF>
#include <QHeaderView>
#include <QStyle>
#include <QTableView>
#include <cmath>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "admin/grid_windows/frm_events_for_call.h"
#include "admin/grid_windows/frm_line_summary.h"
#include "admin/grid_windows/frm_octel_summary.h"
#include "admin/grid_windows/frm_recipients_for_task.h"
#include "admin/grid_windows/frm_tasks_for_call.h"
#include "admin/models/bound_grid.h"
#include "admin/models/grid_records.h"
#include "admin/models/query_model.h"
#include "processing/calls/call_ids.h"
#include "processing/calls/failure_codes.h"
#include "tests/admin/application_font.h"
#include "tests/admin/call_rows.h"

namespace travik {
namespace {

using test::CallRow;

// More rows than a grid reads to size its columns, and than a page.
constexpr int kNarrowRows = 140;
constexpr int kWideRows = 5;
// Times whose general form is as narrow as it gets, and as wide.
const DateTime kNarrow(2024, 1, 1, 1, 0, 0);
const DateTime kWide(2024, 12, 28, 22, 58, 0);
constexpr int kLine = 7;

// One line per column too narrow for its heading or its widest cell:
// "<grid> <column> \"<text>\": needs N, has M".
std::vector<std::string> cutColumns(QTableView& view) {
  std::vector<std::string> faults;
  const QueryModel& model = boundModel(view);
  const QHeaderView& header = *view.horizontalHeader();
  const QFontMetricsF cells(view.font());
  const QFontMetricsF headings(header.font());
  const QStyle& style = *view.style();
  // The style elides a cell's text wider than the cell less these margins
  // and the grid line, and a heading wider than its section less its margins.
  const int cellMargins =
      2 * (style.pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1) + (view.showGrid() ? 1 : 0);
  const int headingMargins = 2 * style.pixelMetric(QStyle::PM_HeaderMargin, nullptr, &header);
  for (int column = 0; column < model.columnCount(); ++column) {
    const QString& name = model.columnNames()[column];
    QString widest = name;
    int needs = static_cast<int>(std::ceil(headings.horizontalAdvance(name))) + headingMargins;
    for (int row = 0; row < model.rowCount(); ++row) {
      const QString text = model.text(row, column);
      const int cell = static_cast<int>(std::ceil(cells.horizontalAdvance(text))) + cellMargins;
      if (cell > needs) {
        needs = cell;
        widest = text;
      }
    }
    if (needs > view.columnWidth(column))
      faults.push_back((view.objectName() + " " + name + " \"" + widest + "\": needs " + QString::number(needs) +
                        ", has " + QString::number(view.columnWidth(column)))
                           .toStdString());
  }
  return faults;
}

class GridColumnsTest : public ::testing::WithParamInterface<test::FontCase>,
                        public test::ApplicationFont,
                        public test::ConsoleFixture {
 protected:
  GridColumnsTest() : ApplicationFont(GetParam()) { connect(); }

  // The grid's headings are its table's fields, and it shows them whole.
  void expectWhole(QTableView& view, std::span<const GridColumn> grid) {
    ASSERT_GT(boundModel(view).rowCount(), 0) << view.objectName().toStdString();
    EXPECT_EQ(boundModel(view).columnNames().join(", ").toStdString(), fieldList(grid));
    QCoreApplication::processEvents();
    for (const std::string& fault : cutColumns(view)) ADD_FAILURE() << fault;
  }

  void insertErrorRow(const std::string& callId, const DateTime& time, Stage stage, Reason reason) {
    auto insert = program().db.prepare(
        "insert into errors (callid, timestamperror, state, statetext, reason, reasontext, exitcode, "
        "expecteddigits, receiveddigits, expectednumberdigits, receivednumberdigits) values (?1, ?2, ?3, ?4, ?5, ?6, "
        "?7, '0123456789#', '98765#', 11, 6)");
    insert.bind(1, callId).bind(2, time.toStored()).bind(3, static_cast<int>(stage));
    insert.bind(4, std::string(stageText(stage))).bind(5, static_cast<int>(reason));
    insert.bind(6, std::string(reasonText(reason))).bind(7, failureExitCode(stage, reason)).run();
  }
};

TEST_P(GridColumnsTest, EveryColumnOfEveryGridShowsItsHeadingAndCellsWhole) {
  // Calls and their errors: narrow times, "OK" and short texts first.
  std::string callId;
  for (int i = 0; i < kNarrowRows + kWideRows; ++i) {
    const bool wide = i >= kNarrowRows;
    const DateTime begin = wide ? kWide.addSeconds(i) : kNarrow.addSeconds(i);
    CallRow row{begin, begin.addSeconds(30), kLine, wide ? "OK (NO INIT)" : "OK", i < 3 ? "1234567890" : "100"};
    callId = test::insertCall(program(), row);
    insertErrorRow(callId, begin.addSeconds(20), wide ? Stage::AdditionalRecipientHeaderResponse : Stage::Dialing,
                   wide ? Reason::DtmfShorterThanExpected : Reason::Busy);
    // The tasks of the last call, and the events of its line.
    test::insertEvent(program(), begin, i, 1, kLine,
                      i == 0 ? "RECEIVED DTMF 0123456789#0123456789# ON LINE 7 FROM NODE 1234567890" : "CONNECT");
  }
  for (int i = 0; i < kNarrowRows + kWideRows; ++i) {
    const DateTime begin = i >= kNarrowRows ? kWide.addSeconds(i) : kNarrow.addSeconds(i);
    test::insertTask(program(), callId, callKey(begin, i, 1, kLine), begin, i == 0 ? "0123456789012" : "1");
  }
  const std::string taskId = callKey(kNarrow, 0, 1, kLine);
  test::insertRecipient(program(), callId, taskId, "0123456789", "Mailbox full at the receiving node");
  test::insertRecipient(program(), callId, taskId, "1");
  program().db.exec(
      "insert into linesummary (line, calls, errors, errorpercent, timeinuseInSeconds) values "
      "(7, 123456, 23456, 19, 12345678), (48, 1, 0, 0, 30)");
  program().db.exec(
      "insert into octelsummary (octelserialnumber, calls, errors, errorpercent, timeinuseInSeconds) values "
      "('1234567890', 123456, 23456, 19, 12345678), ('Unknown', 1, 0, 0, 30)");

  FrmMain& main = frmMain();
  main.formLoad();
  main.show();
  main.cmdShowAll_Click();
  // The grids sized themselves from the first page, which they read anyway.
  QCoreApplication::processEvents();
  EXPECT_EQ(boundModel(*main.flxCalls).pageReads(), 1);
  EXPECT_EQ(boundModel(*main.flxErrors).pageReads(), 1);
  expectWhole(*main.flxCalls, kCallsGrid);
  expectWhole(*main.flxErrors, kErrorsGrid);

  console->frmTasksForCall().showTasksForCall(QString::fromStdString(callId));
  expectWhole(*console->frmTasksForCall().flxTasks, kTasksGrid);
  console->frmRecipientsForTask().showRecipientsForTask(QString::fromStdString(taskId));
  expectWhole(*console->frmRecipientsForTask().flxRecipients, kRecipientsGrid);
  console->frmEventsForCall().showEventsForCall(kLine, QString::fromStdString(kNarrow.toGeneral()));
  expectWhole(*console->frmEventsForCall().flxEvents, kEventsGrid);
  console->frmLineSummary().showTotals();
  expectWhole(*console->frmLineSummary().flxLineSummary, kLineSummaryGrid);
  console->frmOctelSummary().showTotals();
  expectWhole(*console->frmOctelSummary().flxOctelSummary, kOctelSummaryGrid);
}

INSTANTIATE_TEST_SUITE_P(Fonts, GridColumnsTest, ::testing::ValuesIn(test::kFontCases),
                         [](const ::testing::TestParamInfo<test::FontCase>& info) { return info.param.name; });

class GridTablesTest : public test::ConsoleFixture {
 protected:
  GridTablesTest() { connect(); }
};

// A grid that shows a whole stored record shows every field the table
// stores, in the table's order.
TEST_F(GridTablesTest, TheGridsOfWholeRecordsShowEveryStoredFieldInTheTablesOrder) {
  const std::pair<const char*, std::span<const GridColumn>> wholeRecords[] = {{"tasks", kTasksGrid},
                                                                              {"recipients", kRecipientsGrid},
                                                                              {"Events", kEventsGrid},
                                                                              {"linesummary", kLineSummaryGrid},
                                                                              {"octelsummary", kOctelSummaryGrid}};
  for (const auto& [table, grid] : wholeRecords) {
    auto fields = program().db.prepare("select name from pragma_table_info(?1)");
    fields.bind(1, table);
    std::string stored;
    while (fields.step()) stored += (stored.empty() ? "" : ", ") + fields.getText(0);
    EXPECT_EQ(fieldList(grid), stored) << table;
  }
}

}  // namespace
}  // namespace travik
