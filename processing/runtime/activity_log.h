// The activity log: one text file per program start and per calendar day in
// the output folder's "logs" sub-folder, with the status texts and error
// report lines of everything the program does.
//
// The file stays open between lines; it reaches the disk when the 60-second
// flush timer closes and reopens it, and at the exit.
#pragma once

#include <string>
#include <string_view>

#include "processing/runtime/program.h"

namespace travik {

// Full path of a new log file, or "" when the output folder is missing.
std::string GenerateNewLogFileName(Program& program);
// Begins a new log file under fileName, with its header; enables the flush timer.
void openActivityLog(Program& program, const std::string& fileName);
// Disables the flush timer and closes the file; errors are ignored.
void closeActivityLog(Program& program);
// Closes and reopens the file so that everything written is on disk.
void flushActivityLog(Program& program);
// How writeLog treats control characters in its message.
enum class LineBreaks {
  Escaped,  // shown escaped: the message may carry text from outside
  Kept,     // written as they are: our own text, broken into lines on purpose
};

// Appends one line, time-stamped when withTime is true.
void writeLog(Program& program, std::string_view message, bool withTime, LineBreaks breaks = LineBreaks::Escaped);

// A progress line: kept in statusMessage, shown in blue and written to the
// activity log with a time.
void showStatusLine(Program& program, std::string_view text);

// Deletes files of the logs folder last modified more than 10 day boundaries ago.
void pruneActivityLogs(Program& program);

// The time-stamp prefix form: general date, ": ", message.
std::string timeStamped(const DateTime& now, std::string_view message);

}  // namespace travik
