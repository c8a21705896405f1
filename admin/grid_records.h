// What the console's grids read from the call database and how they write
// themselves to a grid file.
//
// Every grid shows the rows of one query as text: times in the general date
// form and Yes/No columns as True/False, the forms the report files use, so a
// saved grid reads like a report.  The queries are here, apart from the
// windows that show them; values always reach them as bound parameters.
#pragma once

#include <QString>
#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/db.h"
#include "processing/date_time.h"
#include "processing/program.h"

namespace travik {

class QueryModel;

// The calls grid's fields, in its column order.
inline constexpr const char* kCallsGridFields =
    "timestampbegin, timestampend, callid, inbound, line, durationInSeconds, exitcode, corvaneserialnumber, "
    "octelserialnumber, protocollevel, msgsendattempt, msgsendsuccess, msgreceiveattempt, msgreceivesuccess, "
    "numberrecipientssent, adminnamesrequested, textnamesreceived, voicenamesreceived, adminnamerequestsrecd, "
    "textnamessent, voicenamessent";
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

// Every stored call in begin order, and every error in time order.
db::Statement selectAllCalls(db::Connection& db);
db::Statement selectAllErrors(db::Connection& db);
// The finished calls that began at or after start and ended at or before end, in begin order.
db::Statement selectCallsInRange(db::Connection& db, const DateTime& start, const DateTime& end);

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
db::Statement selectErrorsBetween(db::Connection& db, const DateTime& first, const DateTime& last);
// The tasks of one call by task id; the recipients of one task by recipient.
db::Statement selectTasksOfCall(db::Connection& db, std::string_view callId);
db::Statement selectRecipientsOfTask(db::Connection& db, std::string_view taskId);
// Every stored event of one line in the order of the trace.
db::Statement selectEventsOfLine(db::Connection& db, std::int64_t line);
// The totals as the summary run left them, in the order the database returns them.
db::Statement selectLineSummary(db::Connection& db);
db::Statement selectOctelSummary(db::Connection& db);

// How a stored value reads in a grid: NULL empty, times in the general date
// form, Yes/No columns True or False, everything else its stored text.
QString gridCellText(const db::Statement& statement, int column);
// A model that shows its rows as gridCellText reads them.
void useGridText(QueryModel& model);

// <output folder>/<prefix><yymmdd_hh_mm_ss>.csv
std::filesystem::path gridFileName(const Program& program, std::string_view prefix, const DateTime& now);
// Writes the grid as comma-separated text with its fixed heading row and its
// fixed (empty) left column, CRLF line ends.  Throws a HandledError when the
// file cannot be created or written.
void writeGridFile(const QueryModel& model, const std::filesystem::path& file);

}  // namespace travik
