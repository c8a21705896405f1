#include "admin/grid_records.h"

#include <fstream>
#include <initializer_list>
#include <string>

#include "admin/query_model.h"
#include "processing/csv.h"
#include "processing/handled_error.h"
#include "processing/reports.h"

namespace travik {

namespace {

// Whether the column name is one of the names, without regard to case.
bool isOneOf(const QString& name, std::initializer_list<const char*> names) {
  for (const char* candidate : names)
    if (name.compare(QLatin1String(candidate), Qt::CaseInsensitive) == 0) return true;
  return false;
}

// Columns the schema stores as "YYYY-MM-DD HH:MM:SS" text.
bool isTimeColumn(const QString& name) {
  return isOneOf(name, {"timestampbegin", "timestampend", "timestamperror", "Timestamp"});
}

// Columns the schema stores as 0/1.
bool isYesNoColumn(const QString& name) {
  return isOneOf(
      name, {"inbound", "fax", "recordingreceived", "recordingsent", "rejected", "ignoreErrorForIntervalCalculation"});
}

DateTime storedTime(const db::Statement& statement, int column) {
  const std::string text = statement.getText(column);
  const auto stamp = DateTime::parseStored(text);
  if (!stamp) throw HandledError(error_number::kTypeMismatch, "Type mismatch: stored call time " + text);
  return *stamp;
}

// The two times of a one-row aggregate; nothing when the aggregate found no call.
std::optional<CallSpan> spanOf(db::Statement& statement) {
  if (!statement.step() || statement.isNull(0) || statement.isNull(1)) return std::nullopt;
  return CallSpan{storedTime(statement, 0), storedTime(statement, 1)};
}

}  // namespace

db::Statement selectAllCalls(db::Connection& db) {
  return db.prepare(std::string("select ") + kCallsGridFields + " from calls order by timestampbegin");
}

db::Statement selectAllErrors(db::Connection& db) {
  return db.prepare(std::string("select ") + kErrorsGridFields + " from errors order by timestamperror");
}

db::Statement selectCallsInRange(db::Connection& db, const DateTime& start, const DateTime& end) {
  db::Statement statement = db.prepare(std::string("select ") + kCallsGridFields +
                                       " from calls where timestampbegin >= ?1 and timestampend <= ?2 "
                                       "order by timestampbegin");
  statement.bind(1, start.toStored()).bind(2, end.toStored());
  return statement;
}

std::optional<CallSpan> storedCallsBeginSpan(db::Connection& db) {
  db::Statement statement = db.prepare("select min(timestampbegin), max(timestampbegin) from calls");
  return spanOf(statement);
}

std::optional<CallSpan> callsInRangeSpan(db::Connection& db, const DateTime& start, const DateTime& end) {
  db::Statement statement = db.prepare(
      "select min(timestampbegin), max(timestampend) from calls where timestampbegin >= ?1 and "
      "timestampend <= ?2");
  statement.bind(1, start.toStored()).bind(2, end.toStored());
  return spanOf(statement);
}

db::Statement selectErrorsBetween(db::Connection& db, const DateTime& first, const DateTime& last) {
  db::Statement statement = db.prepare(std::string("select ") + kErrorsGridFields +
                                       " from errors where timestamperror >= ?1 and timestamperror <= ?2 "
                                       "order by timestamperror");
  statement.bind(1, first.toStored()).bind(2, last.toStored());
  return statement;
}

db::Statement selectTasksOfCall(db::Connection& db, std::string_view callId) {
  db::Statement statement = db.prepare("select * from tasks where callid = ?1 order by taskid");
  statement.bind(1, callId);
  return statement;
}

db::Statement selectRecipientsOfTask(db::Connection& db, std::string_view taskId) {
  db::Statement statement = db.prepare("select * from recipients where taskid = ?1 order by recipient");
  statement.bind(1, taskId);
  return statement;
}

db::Statement selectEventsOfLine(db::Connection& db, std::int64_t line) {
  db::Statement statement =
      db.prepare("select * from Events where Line = ?1 order by Timestamp, Milliseconds, Sequence");
  statement.bind(1, line);
  return statement;
}

db::Statement selectLineSummary(db::Connection& db) { return db.prepare("select * from linesummary"); }

db::Statement selectOctelSummary(db::Connection& db) { return db.prepare("select * from octelsummary"); }

QString gridCellText(const db::Statement& statement, int column) {
  if (statement.isNull(column)) return {};
  const QString name = QString::fromStdString(statement.columnName(column));
  const std::string stored = statement.getText(column);
  if (isTimeColumn(name)) {
    // A value that is no time stays as stored rather than vanish from the grid.
    if (const auto stamp = DateTime::parseStored(stored)) return QString::fromStdString(stamp->toGeneral());
  } else if (isYesNoColumn(name)) {
    return statement.getInt(column) != 0 ? QStringLiteral("True") : QStringLiteral("False");
  }
  return QString::fromStdString(stored);
}

void useGridText(QueryModel& model) { model.cellText = gridCellText; }

std::filesystem::path gridFileName(const Program& program, std::string_view prefix, const DateTime& now) {
  std::string name(prefix);
  name += now.toFileStamp();
  name += ".csv";
  return std::filesystem::path(program.settings.outputPath) / name;
}

void writeGridFile(const QueryModel& model, const std::filesystem::path& file) {
  std::ofstream out;
  createOutputFile(out, file);
  std::string line;
  // The fixed left column is empty in the heading row as in every other.
  for (const QString& name : model.columnNames()) {
    line += ',';
    appendCsvField(line, name.toStdString());
  }
  line += "\r\n";
  writeOutputText(out, line, file);
  for (int row = 0; row < model.rowCount(); ++row) {
    line.clear();
    for (int column = 0; column < model.columnCount(); ++column) {
      line += ',';
      appendCsvField(line, model.text(row, column).toStdString());
    }
    line += "\r\n";
    writeOutputText(out, line, file);
  }
  closeOutputFile(out, file);
}

}  // namespace travik
