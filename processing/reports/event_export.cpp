#include "processing/reports/event_export.h"

#include <charconv>
#include <optional>

#include "processing/reports/reports.h"
#include "processing/runtime/error_handling.h"

namespace travik {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProcedure = "reportMVEvents()";

}  // namespace

fs::path exportFileName(const Program& program, const DateTime& now) {
  return fs::path(program.settings.outputPath) / ("MVLOG.TRAVIK." + now.toMMDDYYYY() + "." + now.toHHMMSS() + ".log");
}

void appendTraceLine(std::string& out, const DateTime& stamp, long milliseconds, long line, std::string_view data) {
  // A value the reader's fixed positions cannot hold would come back as
  // another event, or as none.
  if (milliseconds < 0 || milliseconds > 999 || line < 0 || line > 99)
    throw HandledError(error_number::kOverflow, "Overflow");
  out += " MVLOG 0000 0000 ";
  out += stamp.toTraceStamp();
  out += '.';
  out += static_cast<char>('0' + milliseconds / 100);
  out += static_cast<char>('0' + milliseconds / 10 % 10);
  out += static_cast<char>('0' + milliseconds % 10);
  out += " 00000000 Line ";
  char digits[4];
  const auto result = std::to_chars(digits, digits + sizeof digits, line);
  out.append(digits, result.ptr);
  out += ": ";
  out += data;
  out += ' ';
}

bool reportMVEvents(Program& program, std::string_view selection) {
  db::Statement records;
  int timestamp = -1, milliseconds = -1, lineNumber = -1, data = -1;
  if (!guard(program, kProcedure, [&] {
        records = program.db.prepare(selection);
        timestamp = requireColumn(records, "Timestamp");
        milliseconds = requireColumn(records, "Milliseconds");
        lineNumber = requireColumn(records, "Line");
        data = requireColumn(records, "Data");
      }))
    return false;

  std::optional<OutputFile> out;
  if (!guard(program, kProcedure, [&] { out.emplace(exportFileName(program, program.host.now())); })) return false;

  return writeRowLines(program, kProcedure, records, *out, [&](std::string& line) {
    if (records.isNull(timestamp) || records.isNull(milliseconds) || records.isNull(lineNumber))
      throw HandledError(error_number::kInvalidUseOfNull, "Invalid use of Null");
    const auto stamp = DateTime::parseStored(records.getText(timestamp));
    if (!stamp) throw HandledError(error_number::kTypeMismatch, "Type mismatch");
    appendTraceLine(line, *stamp, static_cast<long>(records.getInt(milliseconds)),
                    static_cast<long>(records.getInt(lineNumber)), records.getText(data));
    line += "\r\n";
  });
}

}  // namespace travik
