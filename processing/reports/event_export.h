// The export of stored events in the gateway's trace-log line layout.
//
// The file is named "MVLOG.TRAVIK.<MMDDYYYY>.<HHMMSS>.log" and each line reads
// like a line the gateway writes:
//   " MVLOG 0000 0000 2005/04/18-15:04:05.007 00000000 Line 7: text "
// so that the file, once placed in the trace folder, is read back by the
// trace-log parser into the same events (its time stamp, milliseconds, line
// and trimmed text).  The sequence number only orders the rows.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "processing/runtime/program.h"

namespace travik {

// The selection every caller passes.
inline constexpr const char* kExportSelection = "select * from events order by timestamp, milliseconds, sequence";

// <output folder>/MVLOG.TRAVIK.<MMDDYYYY>.<HHMMSS>.log
std::filesystem::path exportFileName(const Program& program, const DateTime& now);

// Appends one trace line, without its line end.  Throws a HandledError when a
// value cannot be written so that the parser reads it back (milliseconds
// outside 0-999, a line number outside 0-99).
void appendTraceLine(std::string& out, const DateTime& stamp, long milliseconds, long line, std::string_view data);

// Writes the selected events (columns Timestamp, Milliseconds, Line, Data) as a
// trace log.  True only when every selected event is in the file: a caller
// about to delete the events must not go on when it is false.
bool reportMVEvents(Program& program, std::string_view selection);

}  // namespace travik
