#include "processing/reports/reports.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

#include "processing/reports/csv.h"
#include "processing/reports/output_file.h"
#include "processing/runtime/error_handling.h"

namespace travik {

namespace fs = std::filesystem;

namespace {

void appendWhole(std::string& out, std::int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

// Plain decimal notation, at most 15 significant digits, no trailing zeros.
void appendFraction(std::string& out, double value) {
  if (!std::isfinite(value)) throw HandledError(error_number::kOverflow, "Overflow");
  char scientific[48];
  std::snprintf(scientific, sizeof scientific, "%.14e", value);
  std::string_view text(scientific);
  const bool negative = text.front() == '-';
  if (negative) text.remove_prefix(1);
  const std::size_t e = text.find('e');
  std::string digits(1, text[0]);
  digits.append(text.substr(2, e - 2));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  int exponent = 0;
  std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), exponent);
  const int before = exponent + 1;  // digits before the decimal point
  if (negative) out += '-';
  if (before <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-before), '0');
    out += digits;
  } else if (static_cast<std::size_t>(before) >= digits.size()) {
    out += digits;
    out.append(static_cast<std::size_t>(before) - digits.size(), '0');
  } else {
    out.append(digits, 0, static_cast<std::size_t>(before));
    out += '.';
    out.append(digits, static_cast<std::size_t>(before), std::string::npos);
  }
}

// The text of one value under the general conversion of its kind.
std::string valueText(const db::Statement& row, int column, ValueKind kind) {
  if (row.isNull(column)) return {};
  std::string text;
  switch (kind) {
    case ValueKind::Text: return row.getText(column);
    case ValueKind::Number: {
      const std::int64_t whole = row.getInt(column);
      const double value = row.getDouble(column);
      if (static_cast<double>(whole) == value)
        appendWhole(text, whole);
      else
        appendFraction(text, value);
      return text;
    }
    case ValueKind::DateTime: {
      const auto stamp = DateTime::parseStored(row.getText(column));
      if (!stamp) throw HandledError(error_number::kTypeMismatch, "Type mismatch");
      return stamp->toGeneral();
    }
    case ValueKind::Boolean: return row.getInt(column) != 0 ? "True" : "False";
  }
  return text;
}

constexpr ReportColumn kTasksColumns[] = {
    {"timestampbegin", ValueKind::DateTime},
    {"timestampend", ValueKind::DateTime},
    {"callid", ValueKind::Text},
    {"taskid", ValueKind::Text},
    {"tasktype", ValueKind::Text},
    {"durationInSeconds", ValueKind::Number},
    {"fax", ValueKind::Boolean},
    {"sender", ValueKind::Text},
    {"numberofrecipients", ValueKind::Number},
    {"namerequestfor", ValueKind::Text},
    {"textnamereceived", ValueKind::Text, true},
    {"recordingreceived", ValueKind::Boolean},
    {"textnamesent", ValueKind::Text, true},
    {"recordingsent", ValueKind::Boolean},
};

constexpr ReportColumn kRecipientsColumns[] = {
    {"callid", ValueKind::Text},
    {"taskid", ValueKind::Text},
    {"recipient", ValueKind::Text},
    {"octelserialnumber", ValueKind::Text},
    {"corvaneserialnumber", ValueKind::Text},
    {"rejected", ValueKind::Boolean},
    {"recipientinfo", ValueKind::Text, true},
};

constexpr ReportColumn kRejectedRecipientsColumns[] = {
    {"callid", ValueKind::Text},
    {"taskid", ValueKind::Text},
    {"recipient", ValueKind::Text},
    {"octelserialnumber", ValueKind::Text},
    {"recipientinfo", ValueKind::Text, true},
};

constexpr ReportColumn kEventsColumns[] = {
    {"Timestamp", ValueKind::DateTime}, {"Milliseconds", ValueKind::Number}, {"Sequence", ValueKind::Number},
    {"Line", ValueKind::Number},        {"Data", ValueKind::Text, true},
};

}  // namespace

fs::path reportFileName(const Program& program, std::string_view kind, const DateTime& now) {
  std::string name = "TRAVIK-REPORT.";
  name += kind;
  name += '.';
  name += now.toMMDDYYYY();
  name += '.';
  name += now.toHHMMSS();
  name += ".csv";
  return fs::path(program.settings.outputPath) / name;
}

void createOutputFile(std::ofstream& out, const fs::path& file) {
  errno = 0;
  out.open(file, std::ios::binary | std::ios::trunc);
  if (!out) throwFileError(errno, file);
}

void writeOutputText(std::ofstream& out, std::string_view text, const fs::path& file) {
  errno = 0;
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out) throwFileError(errno, file);
}

void closeOutputFile(std::ofstream& out, const fs::path& file) {
  errno = 0;
  out.close();
  if (!out) throwFileError(errno, file);
}

int requireColumn(const db::Statement& records, const char* name) {
  const int index = records.columnIndex(name);
  if (index < 0)
    throw HandledError(
        error_number::kItemNotFound,
        std::string("Item cannot be found in the collection corresponding to the requested name or ordinal: ") + name);
  return index;
}

bool writeRowLines(Program& program, std::string_view procedure, db::Statement& records, OutputFile& out,
                   const std::function<void(std::string&)>& formatRow) {
  bool complete = true;
  bool cut = false;  // the file lacks every line from some row on
  std::string line;
  for (std::size_t row = 1;; ++row) {
    // A long report is a place where a stop request is honoured.
    if (row % kRowsBetweenStopChecks == 0) program.host.honourStop();
    bool more = false;
    // A selection that cannot be read further would fail the same way at every row.
    if (!guard(program, procedure, [&] { more = records.step(); })) {
      cut = true;
      break;
    }
    if (!more) break;
    line.clear();
    if (!guard(program, procedure, [&] { formatRow(line); })) {
      complete = false;  // this row's line is lost; the others still come
      continue;
    }
    if (!guard(program, procedure, [&] { out.write(line); })) {
      cut = true;
      break;
    }
  }
  // A cut file never takes the report's name: the temporary one goes.
  if (cut || !guard(program, procedure, [&] { out.commit(); })) return false;
  return complete;
}

bool writeReport(Program& program, const ReportLayout& layout, std::string_view selection) {
  const std::string_view procedure = layout.procedure;
  db::Statement records;
  std::vector<int> columns;
  columns.reserve(layout.columns.size());

  // Open the record set and find every listed column before a file exists, so
  // that a failing selection leaves nothing behind.
  if (!guard(program, procedure, [&] {
        records = program.db.prepare(selection);
        for (const ReportColumn& column : layout.columns) columns.push_back(requireColumn(records, column.name));
      }))
    return false;

  std::optional<OutputFile> out;
  if (!guard(program, procedure, [&] { out.emplace(reportFileName(program, layout.kind, program.host.now())); }))
    return false;

  std::string line;
  if (!guard(program, procedure, [&] {
        for (std::size_t i = 0; i < columns.size(); ++i) {
          if (i) line += ',';
          line += records.columnName(columns[i]);
        }
        line += "\r\n";
        out->write(line);
      }))
    return false;

  return writeRowLines(program, procedure, records, *out, [&](std::string& rowLine) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (i) rowLine += ',';
      const ReportColumn& column = layout.columns[i];
      appendCsvField(rowLine, valueText(records, columns[i], column.kind), column.quoted,
                     column.kind == ValueKind::Text);
    }
    rowLine += "\r\n";
  });
}

bool reportTasks(Program& program, std::string_view selection) {
  return writeReport(program, {"Tasks", "reportTasks()", kTasksColumns}, selection);
}

bool reportRecipients(Program& program, std::string_view selection) {
  return writeReport(program, {"Recipients", "reportRecipients()", kRecipientsColumns}, selection);
}

bool reportRejectedRecipients(Program& program, std::string_view selection) {
  return writeReport(program, {"RejectedRecipients", "reportRejectedRecipients()", kRejectedRecipientsColumns},
                     selection);
}

bool reportEvents(Program& program, std::string_view selection) {
  return writeReport(program, {"Events", "reportEvents()", kEventsColumns}, selection);
}

}  // namespace travik
