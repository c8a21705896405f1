// What the console's grids read from the call database and how they write
// themselves to a grid file.
//
// Every grid shows the rows of one query as text: times in the general date
// form and Yes/No columns as True/False, the forms the report files use, so a
// saved grid reads like a report.  The queries are here, apart from the
// windows that show them; values always reach them as bound parameters.
#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "admin/query_model.h"
#include "platform/db.h"
#include "processing/runtime/program.h"
#include "processing/text/date_time.h"

namespace travik {

// The calls grid's fields, in its column order: the call's own, then its counters.
std::string callsGridFields();
// The errors grid's fields, in its column order.
inline constexpr const char* kErrorsGridFields =
    "exitcode, callid, timestamperror, state, statetext, reason, reasontext, expecteddigits, receiveddigits, "
    "expectednumberdigits, receivednumberdigits";

// Field positions (from 0) the console's handlers read.
namespace grid_field {
constexpr int kCallBegin = 0;    // calls grid: timestampbegin
constexpr int kCallId = 2;       // calls grid: callid
constexpr int kCallLine = 4;     // calls grid: line
constexpr int kErrorCallId = 1;  // errors grid: callid
constexpr int kTaskId = 3;       // tasks grid: taskid, the fourth field of tasks
constexpr int kEventTime = 0;    // events grid: Timestamp, the first field of Events
constexpr int kEventFields = 5;  // the five fields of one event
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

// How a stored value of a column reads in a grid, chosen by the column's
// name: NULL empty, times in the general date form, Yes/No columns True or
// False, everything else its stored text.
QueryModel::CellText gridCellText(const QString& columnName);
// A model that shows its rows as gridCellText reads them.
void useGridText(QueryModel& model);
// The widest texts a column's values can read as, where its values have a
// known form: times, True/False, call and task ids, exit codes, stage and
// reason texts.  A digit in them stands for any digit.  Empty for columns
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
