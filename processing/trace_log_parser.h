// The trace-log parser: MVLOG trace lines into rows of Events.
//
// A trace line carries a time stamp with milliseconds, an eight-character
// field, "Line", the gateway line number and the event text.  The parser finds
// the first stretch of a line that matches the trace pattern, reads the fields
// at their fixed character positions and appends the event to Events unless
// it is not newer than the newest event stored before the run.  All events of
// one file are appended in one transaction, so a run that dies in mid-file
// leaves that file wholly unstored and the next run stores it exactly once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/db.h"
#include "processing/date_time.h"
#include "processing/program.h"

namespace travik {

// One parsed trace event.
struct CCallEvent {
  std::string strData;      // event text, at most 254 characters
  int intLine = 0;          // gateway line, 0 to 99
  long lngSequence = 0;     // 1 for the first event of a time and millisecond, then counting up
  int intMilliseconds = 0;  // 0 to 999
  DateTime dateTimeStamp;   // to the second
};

// Longest event text kept, in characters.
inline constexpr std::size_t kMaximumEventTextCharacters = 254;
// Longest line read whole, in bytes; a longer line is read from its last
// kMaximumTraceLineBytes bytes, so memory stays bounded on damaged files.
inline constexpr std::size_t kMaximumTraceLineBytes = 1 << 20;
// Lines of a trace file between two looks for a stop request.
inline constexpr std::int64_t kLinesBetweenStopChecks = 4096;

enum class TraceLineCut {
  NoEvent,       // the line holds no trace event: skipped
  Event,         // the event's fields were read
  NotConverted,  // the line matches, but its date or line number does not convert
};

// Cuts single trace lines into events: the trace pattern, compiled once.
class TraceLineCutter {
 public:
  TraceLineCutter();
  ~TraceLineCutter();
  TraceLineCutter(const TraceLineCutter&) = delete;
  TraceLineCutter& operator=(const TraceLineCutter&) = delete;

  // Reads one line (without its line end) into the event's time stamp,
  // milliseconds, line number and text (trimmed, UTF-8, cut to 254
  // characters).  lngSequence is left alone; on NoEvent and NotConverted the
  // event is not changed at all.
  TraceLineCut cut(std::string_view line, CCallEvent& event);

 private:
  struct Pattern;
  std::unique_ptr<Pattern> pattern_;
};

// Cuts one trace line into event as the parser does; true when the line holds
// a trace event whose fields converted.  lngSequence is left alone.
bool parseTraceLine(std::string_view line, CCallEvent& event);

// What a processing run hands the parser and keeps from one file to the next.
struct TraceLogRun {
  // The newest event stored when the run began (or the retention cutoff with
  // 0 milliseconds); only later events are stored.  Fixed for the whole run.
  DateTime lastEventTime;
  std::int32_t lastEventMilliseconds = 0;
  // The last parsed line; the run sets its lngSequence to 1 before the first file.
  CCallEvent currentEvent;
  // Events appended by this run.
  std::int64_t storedEvents = 0;

  TraceLineCutter cutter;
  db::Statement insertEvent;  // prepared on first use; dropped with the run
};

enum class LogFileResult {
  Parsed,     // read to its end; its new events are stored
  NotRead,    // could not be opened or read; nothing of it is stored
  NotStored,  // the database refused its events; nothing of it is stored
};

// Parses one trace file into Events and raises program.highestLineNumber.
// Every failure is reported as one handled error: lines whose date or line
// number do not convert are skipped and reported together once the file's
// events are stored.
LogFileResult ProcessLogFile(Program& program, const std::filesystem::path& path, TraceLogRun& run);

}  // namespace travik
