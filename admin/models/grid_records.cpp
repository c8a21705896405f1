#include "admin/models/grid_records.h"

#include <cstdlib>
#include <fstream>
#include <string>

#include "admin/models/query_model.h"
#include "processing/calls/call_ids.h"
#include "processing/calls/failure_codes.h"
#include "processing/reports/csv.h"
#include "processing/reports/reports.h"
#include "processing/runtime/call_counters.h"
#include "processing/runtime/handled_error.h"

namespace travik {

namespace {

// A field's form is looked up by its name alone, so it must be one form in
// every grid that shows the field.
consteval bool everyFieldHasOneForm() {
  for (const auto grid : kGrids)
    for (const GridColumn& column : grid)
      for (const auto other : kGrids)
        for (const GridColumn& same : other)
          if (same.field == column.field && same.form != column.form) return false;
  return true;
}
static_assert(everyFieldHasOneForm(), "a field reads in one form in every grid");

// The form the grids give a field; fields no grid shows are free text.
CellForm formOf(const QString& field) {
  for (const auto grid : kGrids)
    for (const GridColumn& column : grid)
      if (field == QLatin1String(column.field.data(), static_cast<qsizetype>(column.field.size()))) return column.form;
  return CellForm::Free;
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

std::string fieldList(std::span<const GridColumn> grid) {
  std::string fields;
  for (const GridColumn& column : grid) {
    if (!fields.empty()) fields += ", ";
    fields += column.field;
  }
  return fields;
}

GridQuery allCallsQuery() { return {fieldList(kCallsGrid), "calls", "", {}, {"timestampbegin"}}; }

GridQuery allErrorsQuery() { return {fieldList(kErrorsGrid), "errors", "", {}, {"timestamperror"}}; }

GridQuery callsInRangeQuery(const DateTime& start, const DateTime& end) {
  return {fieldList(kCallsGrid),
          "calls",
          "timestampbegin >= ?1 and timestampend <= ?2",
          {start.toStored(), end.toStored()},
          {"timestampbegin"}};
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

GridQuery errorsBetweenQuery(const DateTime& first, const DateTime& last) {
  return {fieldList(kErrorsGrid),
          "errors",
          "timestamperror >= ?1 and timestamperror <= ?2",
          {first.toStored(), last.toStored()},
          {"timestamperror"}};
}

GridQuery tasksOfCallQuery(std::string_view callId) {
  return {fieldList(kTasksGrid), "tasks", "callid = ?1", {std::string(callId)}, {"taskid"}};
}

GridQuery recipientsOfTaskQuery(std::string_view taskId) {
  return {fieldList(kRecipientsGrid), "recipients", "taskid = ?1", {std::string(taskId)}, {"recipient"}};
}

GridQuery eventsOfLineQuery(std::int64_t line) {
  return {fieldList(kEventsGrid), "Events", "Line = ?1", {line}, {"Timestamp", "Milliseconds", "Sequence"}};
}

GridQuery lineSummaryQuery() { return {fieldList(kLineSummaryGrid), "linesummary", "", {}, {}}; }

GridQuery octelSummaryQuery() { return {fieldList(kOctelSummaryGrid), "octelsummary", "", {}, {}}; }

namespace {

QString timeText(const SqlValue& value) {
  // A value that is no time stays as stored rather than vanish from the grid.
  if (const auto* text = std::get_if<std::string>(&value))
    if (const auto stamp = DateTime::parseStored(*text)) return QString::fromStdString(stamp->toGeneral());
  return storedText(value);
}

QString yesNoText(const SqlValue& value) {
  if (std::holds_alternative<std::monostate>(value)) return {};
  bool truth = false;
  if (const auto* number = std::get_if<std::int64_t>(&value))
    truth = *number != 0;
  else if (const auto* real = std::get_if<double>(&value))
    truth = static_cast<std::int64_t>(*real) != 0;
  else
    truth = std::strtoll(std::get<std::string>(value).c_str(), nullptr, 10) != 0;
  return truth ? QStringLiteral("True") : QStringLiteral("False");
}

}  // namespace

QueryModel::CellText gridCellText(const QString& columnName) {
  switch (formOf(columnName)) {
    case CellForm::Time: return timeText;
    case CellForm::YesNo: return yesNoText;
    default: return storedText;
  }
}

void useGridText(QueryModel& model) { model.textOf = gridCellText; }

namespace {

// The texts of every code a table knows: every number up to a thousand, past
// the highest code; a number outside the table has no text.
template <class Code>
QStringList textsOfCodes(std::string_view (*textOf)(Code)) {
  QStringList texts;
  for (int code = 0; code <= 1000; ++code)
    if (const std::string_view text = textOf(static_cast<Code>(code)); !text.empty())
      texts << QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  return texts;
}

}  // namespace

const QStringList& widestCellTexts(const QString& columnName) {
  static const QStringList none;
  static const QStringList times = {QString::fromStdString(DateTime(2026, 12, 31, 11, 59, 59).toGeneral()),
                                    QString::fromStdString(DateTime(2026, 12, 31, 23, 59, 59).toGeneral())};
  static const QStringList truths = {yesNoText(std::int64_t{1}), yesNoText(std::int64_t{0})};
  // Milliseconds, sequence and line of three digits: a longer one is rare
  // enough for the sampled rows to show it.
  static const QStringList keys = {QString::fromStdString(callKey(DateTime(2026, 12, 31, 23, 59, 59), 999, 999, 999))};
  static const QStringList exitCodes = {QString::fromUtf8(kExitOk.data(), kExitOk.size()),
                                        QString::fromUtf8(kExitOkNoInit.data(), kExitOkNoInit.size()),
                                        QString::fromStdString(failureExitCode(99, 999))};
  static const QStringList stages = textsOfCodes(stageText);
  static const QStringList reasons = textsOfCodes(reasonText);
  switch (formOf(columnName)) {
    case CellForm::Time: return times;
    case CellForm::YesNo: return truths;
    case CellForm::Key: return keys;
    case CellForm::ExitCode: return exitCodes;
    case CellForm::StageText: return stages;
    case CellForm::ReasonText: return reasons;
    case CellForm::Free: break;
  }
  return none;
}

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
  const int columns = model.columnCount();
  model.forEachRow([&](const std::vector<SqlValue>& cells) {
    line.clear();
    for (int column = 0; column < columns; ++column) {
      line += ',';
      // Stored text and numbers go to the file without a detour through the grid's text.
      const SqlValue& cell = cells[static_cast<std::size_t>(column)];
      const bool stored = model.showsStoredText(column);
      if (const auto* text = std::get_if<std::string>(&cell); stored && text)
        appendCsvField(line, *text);
      else if (const auto* number = std::get_if<std::int64_t>(&cell); stored && number)
        line += std::to_string(*number);
      else
        appendCsvField(line, model.cellText(column, cell).toStdString());
    }
    line += "\r\n";
    writeOutputText(out, line, file);
  });
  closeOutputFile(out, file);
}

}  // namespace travik
