// The trace-log parser: MVLOG trace lines into rows of Events.
//
// A trace line carries a time stamp with milliseconds, an eight-character
// field, "Line", the gateway line number and the event text.  The parser finds
// the first stretch of a line that matches the trace pattern, reads the fields
// at their fixed character positions and appends the event to Events unless
// the same event is stored already (a copy of a file, an export in the trace
// folder) or lies outside the retention.  Each file is read from where the
// previous run left it; its events and its new read position are appended in
// one transaction, so a run that dies in mid-file leaves that piece wholly
// unstored and the next run stores it exactly once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/db.h"
#include "processing/calls/line_arrivals.h"
#include "processing/runtime/program.h"
#include "processing/text/date_time.h"

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
  // The newest stored event (or the retention cutoff with 0 milliseconds when
  // none is stored).  No stored event is later, so a later event is stored
  // without looking for it; an event not later is stored unless it is stored
  // already.  Moves up with every event the run stores.
  DateTime lastEventTime;
  std::int32_t lastEventMilliseconds = 0;
  // Events not later than this with 0 milliseconds are older than the
  // retention and are not stored.
  DateTime retentionCutoff;
  // Events stamped later than this are not stored: a damaged line, or a
  // gateway clock wrong for a moment, must not stand for new activity.
  std::optional<DateTime> futureLimit;
  // The last parsed line; the run sets its lngSequence to 1 before the first file.
  CCallEvent currentEvent;
  // Events appended by this run.
  std::int64_t storedEvents = 0;
  // Files of which this run read complete lines.
  std::int32_t filesRead = 0;

  TraceLineCutter cutter;
  db::Statement insertEvent;  // prepared on first use; dropped with the run
  db::Statement countEvent;
  LineArrivals arrivals;
  // Per gateway line, the earliest event the current file stored.
  struct Earliest {
    bool set = false;
    DateTime time;
    int milliseconds = 0;
    long sequence = 0;
  };
  std::vector<Earliest> earliestStored;
  // The events of the current millisecond of the file being read; kept
  // between files so their texts keep their capacity.
  std::vector<std::pair<int, std::string>> millisecondEvents;
};

enum class LogFileResult {
  Parsed,     // read to its last complete line; its new events are stored
  NotRead,    // could not be opened or read; nothing of it is stored
  NotStored,  // the database refused its events; nothing of it is stored
};

// Opens a trace file for reading.  The open never blocks (a FIFO put in the
// file's place would block an ordinary open for ever), a symbolic link is not
// followed, and only a regular file is accepted.  Throws a filesystem error
// naming the file.
int openTraceFile(Program& program, const std::filesystem::path& path);

// True when the file holds complete lines past its read position, or any
// unread byte when its last line is complete, or bytes and no read position
// at its start yet; also when it cannot be examined, so that the parse
// reports why.
bool hasUnreadTraceLines(Program& program, const std::filesystem::path& path, bool lastLineComplete);

// For each file, whether a last line without its line end is as complete as
// it will get: the gateway has moved on.  That takes evidence that file
// times cannot fake (a copy without its times, a touched file and the
// repeated hour of a clock set back all make them lie): the file has not
// changed in size since an earlier run looked at it, and a file after it in
// name order (files is in name order) begins with an event stamped after the
// last line read from this one (in a file without a complete line, after that
// line's own stamp).
// Until then the line waits; when the gateway never writes another file, it
// is never stored.  With noteSizes the sizes found are recorded for the next
// run to compare; the counting look of a run leaves them alone, so that the
// parsing look of the same run does not take them for an earlier run's.
std::vector<bool> finishedTraceFiles(Program& program, const std::vector<std::filesystem::path>& files, bool noteSizes);

// Parses one trace file from its read position into Events and raises
// program.highestLineNumber.  Only complete lines are read: a last line
// without its line end is left for a later run, unless lastLineComplete (the
// gateway has moved on, see finishedTraceFiles).  The new read position is committed
// with the events.  Every failure is reported as one handled error: lines
// whose date or line number do not convert, and lines stamped after the
// future limit, are skipped and reported together once the file's events are
// stored; a file that cannot be read is reported once until it is read.
LogFileResult ProcessLogFile(Program& program, const std::filesystem::path& path, TraceLogRun& run,
                             bool lastLineComplete = false);

}  // namespace travik
