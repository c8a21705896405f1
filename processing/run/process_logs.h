// One processing run: stale data out, new trace files in, calls rebuilt,
// totals and reports after.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "processing/runtime/program.h"
#include "processing/text/date_time.h"

namespace travik {

// Runs the whole pipeline once.  The service marks the run in
// SERVICEPROCESSING; the console refuses to run while that is set.  A call
// made while a run is under way (through a yield) returns at once.
void processLogs(Program& program);

// The end of a service run: SERVICEPROCESSING back to "False", tried a second
// time when the first store fails (a lock held past the busy timeout), the
// second failure reported; then the settings are reloaded.
void clearServiceProcessing(Program& program);

// A trace file chosen for parsing.
struct TraceFile {
  DateTime modified;  // local time, whole seconds
  std::string name;
  std::filesystem::path path;
  // The gateway has moved on (finishedTraceFiles), so a last line without
  // its line end is as complete as it will get.
  bool lastLineComplete = false;
};

// The files directly in folder whose names begin "MVLOG." (any case) and
// that were modified strictly later than after, in the order of their names
// (then of their times), the order in which the gateway writes them.  File
// times are no guide to that order: a copy, a touched file or the hour a
// clock repeats makes them lie, and events of one instant are walked in the
// order they were stored.  A symbolic link is never followed: it is left
// out, its name added to links when given.  Throws when the folder cannot be
// listed.
std::vector<TraceFile> selectTraceFiles(const std::filesystem::path& folder, const DateTime& after,
                                        std::vector<std::string>* links = nullptr);

// What the parsing part of a run found; the steps after it decide from it.
struct TraceParseResult {
  bool newestKnown = false;       // the newest stored event was read; without it nothing is parsed
  std::size_t filesSelected = 0;  // trace files with unread lines when the run looked
  std::int32_t filesRead = 0;     // files of which the run read complete lines
  std::int64_t eventsStored = 0;  // events the run stored
};

}  // namespace travik
