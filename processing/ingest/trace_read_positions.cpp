#include "processing/ingest/trace_read_positions.h"

#include <charconv>
#include <unordered_set>

namespace travik {

namespace fs = std::filesystem;

namespace {

// Each event as its line in decimal, a blank and its text, ended by LF; an
// event text never holds a line end.
std::string joinEvents(const std::vector<MillisecondEvent>& events) {
  std::string text;
  for (const auto& [line, data] : events) {
    text += std::to_string(line);
    text += ' ';
    text += data;
    text += '\n';
  }
  return text;
}

std::vector<MillisecondEvent> splitEvents(std::string_view text) {
  std::vector<MillisecondEvent> events;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view entry = text.substr(0, end);
    const std::size_t blank = entry.find(' ');
    int line = 0;
    std::from_chars(entry.data(), entry.data() + (blank == std::string_view::npos ? entry.size() : blank), line);
    events.emplace_back(line, blank == std::string_view::npos ? std::string() : std::string(entry.substr(blank + 1)));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return events;
}

DateTime storedTime(const db::Statement& row, int column) {
  return DateTime::parseStored(row.getTextView(column)).value_or(DateTime());
}

}  // namespace

std::int64_t resumeOffset(const std::optional<TraceReadPosition>& position, std::string_view head, std::int64_t size) {
  if (!position || position->offset > size) return 0;
  return head.substr(0, position->head.size()) == position->head ? position->offset : 0;
}

std::string traceReadPositionKey(const fs::path& file) { return file.lexically_normal().string(); }

std::optional<TraceReadPosition> loadTraceReadPosition(db::Connection& db, const std::string& key) {
  db::Statement row = db.prepare(
      "select head, position, modified, sequence, storedtimestamp, storedmilliseconds, lasttimestamp, "
      "lastmilliseconds, lastmillisecondevents, steppedback, seensize from tracereadpositions where path = ?1");
  row.bind(1, key);
  if (!row.step()) return std::nullopt;
  TraceReadPosition position;
  position.head = row.getText(0);
  position.offset = row.getInt(1);
  position.modified = storedTime(row, 2);
  position.sequence = static_cast<long>(row.getInt(3));
  if (!row.isNull(4)) position.lastStored.emplace(storedTime(row, 4), static_cast<int>(row.getInt(5)));
  position.lastTime = storedTime(row, 6);
  position.lastMilliseconds = static_cast<int>(row.getInt(7));
  position.lastMillisecondEvents = splitEvents(row.getTextView(8));
  position.steppedBack = row.getInt(9) != 0;
  position.seenSize = row.isNull(10) ? -1 : row.getInt(10);
  return position;
}

void saveTraceReadPosition(db::Connection& db, const std::string& key, const TraceReadPosition& position) {
  db::Statement save = db.prepare(
      "insert or replace into tracereadpositions (path, head, position, modified, sequence, storedtimestamp, "
      "storedmilliseconds, lasttimestamp, lastmilliseconds, lastmillisecondevents, steppedback, seensize) "
      "values (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
  save.bind(1, key)
      .bind(2, position.head)
      .bind(3, position.offset)
      .bind(4, position.modified.toStored())
      .bind(5, static_cast<std::int64_t>(position.sequence));
  if (position.lastStored)
    save.bind(6, position.lastStored->first.toStored()).bind(7, position.lastStored->second);
  else
    save.bindNull(6).bindNull(7);
  save.bind(8, position.lastTime.toStored())
      .bind(9, position.lastMilliseconds)
      .bind(10, joinEvents(position.lastMillisecondEvents))
      .bind(11, position.steppedBack)
      .bind(12, position.seenSize)
      .run();
}

void forgetTraceReadPosition(db::Connection& db, const std::string& key) {
  db.prepare("delete from tracereadpositions where path = ?1").bind(1, key).run();
}

void noteTraceFileSize(db::Connection& db, const std::string& key, std::int64_t size) {
  db.prepare("update tracereadpositions set seensize = ?2 where path = ?1").bind(1, key).bind(2, size).run();
}

void pruneTraceReadPositions(db::Connection& db, const fs::path& folder, const std::vector<std::string>& listedKeys,
                             const DateTime& cutoff) {
  const std::unordered_set<std::string> listed(listedKeys.begin(), listedKeys.end());
  const fs::path inFolder = fs::path(traceReadPositionKey(folder / "x")).parent_path();
  std::vector<std::string> gone;
  {
    db::Statement rows = db.prepare("select path, modified from tracereadpositions");
    while (rows.step()) {
      std::string key = rows.getText(0);
      if (storedTime(rows, 1) <= cutoff || (fs::path(key).parent_path() == inFolder && !listed.contains(key)))
        gone.push_back(std::move(key));
    }
  }
  if (gone.empty()) return;
  db::Transaction transaction(db);
  for (const std::string& key : gone) forgetTraceReadPosition(db, key);
  transaction.commit();
}

void clearTraceReadPositions(db::Connection& db) { db.exec("delete from tracereadpositions"); }

}  // namespace travik
