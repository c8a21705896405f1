// How far each trace file has been read.
//
// The gateway writes its trace files while we read them, and a run starts at
// any moment.  So each file is read on from where the previous run left it,
// up to just after its last complete line, and that position is committed in
// the transaction that stores the file's events: a run that dies leaves both
// or neither.  The parser's state at the position (the sequence count, the
// events read in the last millisecond) is kept with it, so that a file read
// in many pieces gives the rows that one read gives.  The file's first bytes
// are kept too: a different file under the same name is read from its start.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/db.h"
#include "processing/text/date_time.h"

namespace travik {

// Bytes from the start of a file that identify it.
inline constexpr std::size_t kTraceFileHeadBytes = 256;

// One event of a millisecond: its line and text.
using MillisecondEvent = std::pair<int, std::string>;

struct TraceReadPosition {
  std::string head;         // the file's first bytes up to position, at most kTraceFileHeadBytes
  std::int64_t offset = 0;  // just after the last complete line read
  DateTime modified;        // the file's modification time when it was read
  long sequence = 0;        // the Sequence of the last trace line read
  // The last event stored from this file; the sequence counts on from it.
  std::optional<std::pair<DateTime, int>> lastStored;
  // The time and milliseconds of the last trace line read, and the line and
  // text of every event read in that millisecond, in order.
  DateTime lastTime;
  int lastMilliseconds = 0;
  std::vector<MillisecondEvent> lastMillisecondEvents;
  // Some trace line read was stamped earlier than the one before it (a clock
  // set back): an event's earlier occurrences in the file need not lie in
  // its millisecond's run of lines.
  bool steppedBack = false;
  // The file's size when a run last looked at it (-1: not known).  A file
  // whose size stayed the same from one run to the next has stopped growing.
  std::int64_t seenSize = -1;
};

// Where a file is read from: its recorded position when its first bytes are
// still those read before and it is not shorter than the position; otherwise
// 0, since the file was replaced or cut.
std::int64_t resumeOffset(const std::optional<TraceReadPosition>& position, std::string_view head, std::int64_t size);

// The key of a file in the table: its path, normalised.
std::string traceReadPositionKey(const std::filesystem::path& file);

std::optional<TraceReadPosition> loadTraceReadPosition(db::Connection& db, const std::string& key);
void saveTraceReadPosition(db::Connection& db, const std::string& key, const TraceReadPosition& position);
void forgetTraceReadPosition(db::Connection& db, const std::string& key);
// Records the size a run found the file at, for the next run to compare.
void noteTraceFileSize(db::Connection& db, const std::string& key, std::int64_t size);
// Forgets the files of folder that are no longer listed, and every file last
// modified at or before cutoff (older than the retention: never read again).
void pruneTraceReadPositions(db::Connection& db, const std::filesystem::path& folder,
                             const std::vector<std::string>& listedKeys, const DateTime& cutoff);
// Forgets every file, so that every file is read again (the purge of the events).
void clearTraceReadPositions(db::Connection& db);

}  // namespace travik
