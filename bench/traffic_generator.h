// The synthetic gateway: MVLOG trace files for a number of lines over a time
// span, with a summary of every call they hold.
//
// Every gateway line runs on its own random stream (derived from the seed and
// the line number), places and answers calls at the given rate and logs
// line-monitor notices while idle; the lines' events are merged in time order
// into the trace files.  A call opens at least one second after the previous
// call of its line ended.  The same options always give the same bytes.
//
// A reader of a live trace folder meets harder cases than these files hold
// by default; each can be asked for (and changes the bytes): calls that open
// in the second in which their line's previous call ended, events of
// different lines stamped alike to the millisecond, files that roll over
// after any line, a gateway clock set back (the repeated hour at the end of
// daylight saving) or an event stamped ahead of the others, and the folder as
// it stood at moments while it was written (see traffic_growing_folder.h).  The summary's expectations hold for the
// default traffic only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/traffic_calls.h"
#include "processing/text/date_time.h"

namespace travik::traffic {

struct TrafficOptions {
  std::filesystem::path folder;  // where the MVLOG files go (created when missing)
  int lines = 24;                // gateway lines 1 to lines
  double hours = 24;             // length of the span
  DateTime end;                  // the span ends here; no event is later
  std::uint64_t seed = 1;
  double callsPerHour = 23;              // per gateway line
  std::uint64_t maxFileBytes = 4000000;  // a file rolls over once it is this big
  int failurePercent = 8;                // share of calls built to fail
  std::filesystem::path summaryFile;     // empty: folder / "traffic-summary.csv"
  bool backToBackCalls = false;          // calls may open in the second the line's previous call ended
  bool sharedMilliseconds = false;       // all lines on one millisecond slot: events may share a stamp
  bool rollOverAnywhere = false;         // a full file ends after any line (see TraceWriter)
  int folderStates = 0;                  // states of the growing folder written under folder / "states"
  int clockSetBackSeconds = 0;           // at a seeded moment the gateway's clock steps back this far (0-3600)
  int stampAheadHours = 0;               // one seeded event is stamped this far ahead (0-23)
};

// One event as the parser will store it: time, line and text (UTF-8, trimmed).
struct TraceEvent {
  Millis time;
  int line;
  std::string_view text;
};

struct GenerationResult {
  std::vector<std::filesystem::path> files;
  std::vector<std::filesystem::path> stateFolders;  // the folder after each cut, oldest first
  std::filesystem::path summaryFile;
  std::filesystem::path totalsFile;
  std::uint64_t traceLines = 0;  // all lines written
  std::uint64_t events = 0;      // lines that carry a line's event
  std::uint64_t calls = 0;
  std::uint64_t failedCalls = 0;
  std::uint64_t inboundCalls = 0;
  Millis firstEvent = 0;
  Millis lastEvent = 0;
};

// Writes the trace files, the summary and the totals.  onEvent, when given,
// sees every line event in file order.  Throws std::runtime_error with a
// clear text when the options are bad or a file cannot be written; a folder
// that already holds MVLOG files is refused, so nothing is overwritten.
GenerationResult generateTraffic(const TrafficOptions& options,
                                 const std::function<void(const TraceEvent&)>& onEvent = {});

// The options are checked before anything is written; "" when they are good.
std::string checkOptions(const TrafficOptions& options);

struct ParsedArguments {
  TrafficOptions options;
  bool help = false;
  std::string error;  // empty when the arguments were good
};

// The command line of generate_traffic (without the program name); now
// stands for --end now.
ParsedArguments parseTrafficArguments(const std::vector<std::string>& arguments, const DateTime& now);
std::string trafficUsage();

}  // namespace travik::traffic
