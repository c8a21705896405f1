#include "processing/event_export.h"

#include <charconv>
#include <fstream>

#include "processing/error_handling.h"
#include "processing/reports.h"

namespace travik {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProcedure = "reportMVEvents()";
constexpr long kInvalidUseOfNull = 94;

int requireColumn(const db::Statement& records, const char* name) {
  const int index = records.columnIndex(name);
  if (index < 0)
    throw HandledError(
        error_number::kItemNotFound,
        std::string("Item cannot be found in the collection corresponding to the requested name or ordinal: ") + name);
  return index;
}

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

  fs::path file;
  std::ofstream out;
  if (!guard(program, kProcedure, [&] {
        file = exportFileName(program, program.host.now());
        createOutputFile(out, file);
      }))
    return false;

  bool complete = true;
  std::string line;
  for (;;) {
    bool more = false;
    if (!guard(program, kProcedure, [&] { more = records.step(); })) {
      complete = false;
      break;
    }
    if (!more) break;
    line.clear();
    const bool converted = guard(program, kProcedure, [&] {
      if (records.isNull(timestamp) || records.isNull(milliseconds) || records.isNull(lineNumber))
        throw HandledError(kInvalidUseOfNull, "Invalid use of Null");
      const auto stamp = DateTime::parseStored(records.getText(timestamp));
      if (!stamp) throw HandledError(error_number::kTypeMismatch, "Type mismatch");
      appendTraceLine(line, *stamp, static_cast<long>(records.getInt(milliseconds)),
                      static_cast<long>(records.getInt(lineNumber)), records.getText(data));
      line += "\r\n";
    });
    if (!converted) {
      complete = false;  // this event's line is lost; the others still come
      continue;
    }
    if (!guard(program, kProcedure, [&] { writeOutputText(out, line, file); })) {
      complete = false;
      break;
    }
  }

  if (!guard(program, kProcedure, [&] { closeOutputFile(out, file); })) complete = false;
  return complete;
}

}  // namespace travik
