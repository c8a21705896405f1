// What the console's grids read from the call database and how they write
// themselves to a grid file.
//
// Every grid shows the rows of one query as text: times in the general date
// form and Yes/No columns as True/False, the forms the report files use, so a
// saved grid reads like a report.  Each grid's columns are one table here,
// from which its select list, its headings and every field position a
// handler reads come; the queries are here too, apart from the windows that
// show them, and values always reach them as bound parameters.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "admin/models/query_model.h"
#include "platform/db.h"
#include "processing/runtime/call_counters.h"
#include "processing/runtime/program.h"
#include "processing/text/date_time.h"

namespace travik {

// How a column's values read and how wide they can grow.
enum class CellForm {
  Free,        // its stored text; only its rows tell how wide it gets
  Time,        // stored "YYYY-MM-DD HH:MM:SS", read in the general date form
  YesNo,       // stored 0/1, read True/False
  Key,         // a call or task id
  ExitCode,    // OK, OK (NO INIT) or a failure's code
  StageText,   // the text of a stage of a call
  ReasonText,  // the text of a reason a call failed
};

// One column of a console grid.  The field is selected as it is spelled
// here, so it is also the column's heading and its name in a saved grid.
struct GridColumn {
  std::string_view field;
  CellForm form = CellForm::Free;
};

namespace grid_detail {
// A grid that shows a record's own fields and then the call counters.
template <std::size_t N>
consteval std::array<GridColumn, N + kCallCounterCount> withCounters(const std::array<GridColumn, N>& own) {
  std::array<GridColumn, N + kCallCounterCount> columns{};
  for (std::size_t i = 0; i < N; ++i) columns[i] = own[i];
  for (std::size_t i = 0; i < kCallCounterCount; ++i) columns[N + i] = {kCallCounterNames[i]};
  return columns;
}
}  // namespace grid_detail

// Each grid's columns in its column order: what it selects, the headings it
// shows and saves, and where its handlers find a field.
inline constexpr auto kCallsGrid = grid_detail::withCounters(std::to_array<GridColumn>({
    {"timestampbegin", CellForm::Time},
    {"timestampend", CellForm::Time},
    {"callid", CellForm::Key},
    {"inbound", CellForm::YesNo},
    {"line"},
    {"durationInSeconds"},
    {"exitcode", CellForm::ExitCode},
    {"corvaneserialnumber"},
    {"octelserialnumber"},
    {"protocollevel"},
}));
inline constexpr auto kErrorsGrid = std::to_array<GridColumn>({
    {"exitcode", CellForm::ExitCode},
    {"callid", CellForm::Key},
    {"timestamperror", CellForm::Time},
    {"state"},
    {"statetext", CellForm::StageText},
    {"reason"},
    {"reasontext", CellForm::ReasonText},
    {"expecteddigits"},
    {"receiveddigits"},
    {"expectednumberdigits"},
    {"receivednumberdigits"},
});
// The tasks, recipients and events grids and the totals show every field of
// their table, in the table's order.
inline constexpr auto kTasksGrid = std::to_array<GridColumn>({
    {"timestampbegin", CellForm::Time},
    {"timestampend", CellForm::Time},
    {"callid", CellForm::Key},
    {"taskid", CellForm::Key},
    {"tasktype"},
    {"durationInSeconds"},
    {"fax", CellForm::YesNo},
    {"sender"},
    {"numberofrecipients"},
    {"namerequestfor"},
    {"textnamereceived"},
    {"recordingreceived", CellForm::YesNo},
    {"textnamesent"},
    {"recordingsent", CellForm::YesNo},
});
inline constexpr auto kRecipientsGrid = std::to_array<GridColumn>({
    {"callid", CellForm::Key},
    {"taskid", CellForm::Key},
    {"recipient"},
    {"octelserialnumber"},
    {"corvaneserialnumber"},
    {"rejected", CellForm::YesNo},
    {"recipientinfo"},
});
inline constexpr auto kEventsGrid = std::to_array<GridColumn>({
    {"Timestamp", CellForm::Time},
    {"Milliseconds"},
    {"Sequence"},
    {"Line"},
    {"Data"},
});
inline constexpr auto kLineSummaryGrid = grid_detail::withCounters(std::to_array<GridColumn>({
    {"line"},
    {"calls"},
    {"errors"},
    {"errorpercent"},
    {"timeinuseInSeconds"},
}));
inline constexpr auto kOctelSummaryGrid = grid_detail::withCounters(std::to_array<GridColumn>({
    {"octelserialnumber"},
    {"calls"},
    {"errors"},
    {"errorpercent"},
    {"callswithininterval"},
    {"errorswithininterval"},
    {"errorpercentwithininterval"},
    {"timeinuseInSeconds"},
}));
inline constexpr std::array<std::span<const GridColumn>, 7> kGrids = {
    kCallsGrid, kErrorsGrid, kTasksGrid, kRecipientsGrid, kEventsGrid, kLineSummaryGrid, kOctelSummaryGrid};

// The position (from 0) of a field in a grid; a field the grid does not show
// does not compile.
template <std::size_t N>
consteval int columnOf(const std::array<GridColumn, N>& grid, std::string_view field) {
  for (std::size_t i = 0; i < N; ++i)
    if (grid[i].field == field) return static_cast<int>(i);
  throw "the grid shows no such field";
}

// The grid's select list: its fields, comma-separated, in its column order.
std::string fieldList(std::span<const GridColumn> grid);

// Field positions the console's handlers read.
namespace grid_field {
constexpr int kCallBegin = columnOf(kCallsGrid, "timestampbegin");
constexpr int kCallId = columnOf(kCallsGrid, "callid");
constexpr int kCallLine = columnOf(kCallsGrid, "line");
constexpr int kErrorCallId = columnOf(kErrorsGrid, "callid");
constexpr int kTaskId = columnOf(kTasksGrid, "taskid");
constexpr int kEventTime = columnOf(kEventsGrid, "Timestamp");
constexpr int kEventFields = static_cast<int>(kEventsGrid.size());
}  // namespace grid_field

// What the grids show.  Every stored call in begin order, and every error in time order.
GridQuery allCallsQuery();
GridQuery allErrorsQuery();
// The finished calls that began at or after start and ended at or before end, in begin order.
GridQuery callsInRangeQuery(const DateTime& start, const DateTime& end);

// A time span of stored calls.
struct CallSpan {
  DateTime first;
  DateTime last;
};
// The begin times of the first and the last stored call; nothing when no call is stored.
std::optional<CallSpan> storedCallsBeginSpan(db::Connection& db);
// Of the calls selectCallsInRange selects: the first begin time and the
// latest end time; nothing when it selects none.
std::optional<CallSpan> callsInRangeSpan(db::Connection& db, const DateTime& start, const DateTime& end);
// The errors whose time lies between first and last, both included, in time order.
GridQuery errorsBetweenQuery(const DateTime& first, const DateTime& last);
// The tasks of one call by task id; the recipients of one task by recipient.
GridQuery tasksOfCallQuery(std::string_view callId);
GridQuery recipientsOfTaskQuery(std::string_view taskId);
// Every stored event of one line in the order of the trace.
GridQuery eventsOfLineQuery(std::int64_t line);
// The totals as the summary run left them, in the order the table keeps them.
GridQuery lineSummaryQuery();
GridQuery octelSummaryQuery();

// How a stored value of a column reads in a grid, chosen by the form the
// grids give the column's field: NULL empty, times in the general date form,
// Yes/No columns True or False, everything else its stored text.
QueryModel::CellText gridCellText(const QString& columnName);
// A model that shows its rows as gridCellText reads them.
void useGridText(QueryModel& model);
// The widest texts a column's values can read as, where the grids give its
// field a known form: times, True/False, call and task ids, exit codes,
// stage and reason texts.  A digit in them stands for any digit.  Empty for columns
// whose widths only their rows can tell.
const QStringList& widestCellTexts(const QString& columnName);

// <output folder>/<prefix><yymmdd_hh_mm_ss>.csv
std::filesystem::path gridFileName(const Program& program, std::string_view prefix, const DateTime& now);
// Writes the grid as comma-separated text with its fixed heading row and its
// fixed (empty) left column, CRLF line ends, reading its rows from the
// database a block at a time as they are written.  Throws a HandledError when the
// file cannot be created or written.
void writeGridFile(const QueryModel& model, const std::filesystem::path& file);

}  // namespace travik
