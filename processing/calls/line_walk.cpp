#include "processing/calls/line_walk.h"

#include <charconv>
#include <string_view>

namespace travik {

namespace {

void bindKey(db::Statement& statement, int first, const EventKey& key) {
  statement.bind(first, key.timestamp)
      .bind(first + 1, key.milliseconds)
      .bind(first + 2, key.sequence)
      .bind(first + 3, key.rowid);
}

// The milliseconds and sequence of a call's opening event, from its key
// "MMDDYYYY.HHMMSS.mmm.sss.lll"; false for a key of another form.
bool openingInstant(std::string_view callid, std::int64_t& milliseconds, std::int64_t& sequence) {
  std::int64_t parts[5] = {};
  std::size_t part = 0;
  const char* at = callid.data();
  const char* end = callid.data() + callid.size();
  while (part < 5) {
    const auto [next, error] = std::from_chars(at, end, parts[part]);
    if (error != std::errc() || next == at) return false;
    ++part;
    if (next == end) break;
    if (*next != '.') return false;
    at = next + 1;
  }
  if (part != 5) return false;
  milliseconds = parts[2];
  sequence = parts[3];
  return true;
}

}  // namespace

void LineWalkTable::prepare(db::Connection& connection) {
  read_ = connection.prepare(
      "select restarttimestamp, restartmilliseconds, restartsequence, restartevent, walkedtimestamp, "
      "walkedmilliseconds, walkedsequence, walkedevent from linewalk where line = ?1");
  write_ = connection.prepare(
      "insert or replace into linewalk (line, restarttimestamp, restartmilliseconds, restartsequence, "
      "restartevent, walkedtimestamp, walkedmilliseconds, walkedsequence, walkedevent) "
      "values (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
  // The first condition is the range of the index EventsByLine; the second
  // passes the events of the mark's own instant up to the mark itself.
  eventsAfter_ = connection.prepare(
      "select 1 from Events where Line = ?1 and (Timestamp, Milliseconds, Sequence) >= (?2, ?3, ?4) "
      "and ((Timestamp, Milliseconds, Sequence) > (?2, ?3, ?4) or rowid > ?5) limit 1");
  callsFrom_ =
      connection.prepare("select rowid, callid, timestampbegin from calls where line = ?1 and timestampbegin >= ?2");
  removeCall_ = connection.prepare("delete from calls where rowid = ?1");
  removeErrors_ = connection.prepare("delete from errors where callid = ?1");
  removeTasks_ = connection.prepare("delete from tasks where callid = ?1");
  removeRecipients_ = connection.prepare("delete from recipients where callid = ?1");
  callsBefore_ = connection.prepare(
      "select callid, timestampbegin from calls where line = ?1 and timestampbegin <= ?2 "
      "order by timestampbegin desc");
  instantBefore_ = connection.prepare(
      "select Timestamp, Milliseconds, Sequence from Events where Line = ?1 "
      "and (Timestamp, Milliseconds, Sequence) < (?2, ?3, ?4) "
      "order by Timestamp desc, Milliseconds desc, Sequence desc limit 1");
  lastOfInstant_ = connection.prepare(
      "select max(rowid) from Events where Line = ?1 and Timestamp = ?2 and Milliseconds = ?3 and Sequence = ?4");
  arrivals_.prepare(connection);
  totalsDue_.prepare(connection);
}

void LineWalkTable::finalize() noexcept {
  for (db::Statement* statement : {&read_, &write_, &eventsAfter_, &callsFrom_, &removeCall_, &removeErrors_,
                                   &removeTasks_, &removeRecipients_, &callsBefore_, &instantBefore_, &lastOfInstant_})
    *statement = db::Statement();
  arrivals_.finalize();
  totalsDue_.finalize();
}

std::optional<LineWalkMarks> LineWalkTable::read(int line) {
  read_.reset();
  read_.bind(1, line);
  std::optional<LineWalkMarks> marks;
  if (read_.step()) {
    marks.emplace();
    if (!read_.isNull(0))
      marks->restart = EventKey{read_.getText(0), read_.getInt(1), read_.getInt(2), read_.getInt(3)};
    marks->walked = EventKey{read_.getText(4), read_.getInt(5), read_.getInt(6), read_.getInt(7)};
  }
  read_.reset();
  return marks;
}

void LineWalkTable::write(int line, const LineWalkMarks& marks) {
  write_.reset();
  write_.bind(1, line);
  if (marks.restart) {
    bindKey(write_, 2, *marks.restart);
  } else {
    for (int column = 2; column <= 5; ++column) write_.bindNull(column);
  }
  bindKey(write_, 6, marks.walked);
  write_.run();
  arrivals_.clear(line);
  totalsDue_.mark();
}

bool LineWalkTable::hasEventsAfter(int line, const EventKey& after) {
  eventsAfter_.reset();
  eventsAfter_.bind(1, line);
  bindKey(eventsAfter_, 2, after);
  const bool found = eventsAfter_.step();
  eventsAfter_.reset();
  return found;
}

std::optional<EventKey> LineWalkTable::restartBefore(int line, const EventInstant& late) {
  // The newest call that opened before `late`: calls by their begin, newest
  // first, until a whole second of them lies before the best found.
  std::optional<EventInstant> opening;
  callsBefore_.reset();
  callsBefore_.bind(1, line).bind(2, late.timestamp);
  while (callsBefore_.step()) {
    EventInstant begin{callsBefore_.getText(1), -1, -1};
    if (opening && begin.timestamp < opening->timestamp) break;
    // A key of another form is placed at the start of its second.
    if (!openingInstant(callsBefore_.getTextView(0), begin.milliseconds, begin.sequence))
      begin.milliseconds = begin.sequence = -1;
    if (begin < late && (!opening || *opening < begin)) opening = std::move(begin);
  }
  callsBefore_.reset();
  if (!opening) return std::nullopt;

  // The last event before that opening; the calls behind it are made again.
  instantBefore_.reset();
  instantBefore_.bind(1, line).bind(2, opening->timestamp).bind(3, opening->milliseconds).bind(4, opening->sequence);
  std::optional<EventKey> restart;
  if (instantBefore_.step())
    restart = EventKey{instantBefore_.getText(0), instantBefore_.getInt(1), instantBefore_.getInt(2), 0};
  instantBefore_.reset();
  if (!restart) return std::nullopt;
  lastOfInstant_.reset();
  lastOfInstant_.bind(1, line).bind(2, restart->timestamp).bind(3, restart->milliseconds).bind(4, restart->sequence);
  if (lastOfInstant_.step()) restart->rowid = lastOfInstant_.getInt(0);
  lastOfInstant_.reset();
  return restart;
}

std::int64_t LineWalkTable::removeCallsAfter(int line, const std::optional<EventKey>& restart) {
  struct Removed {
    std::int64_t rowid;
    std::string callid;
  };
  std::vector<Removed> removed;
  callsFrom_.reset();
  // Without a restart point every call of the line goes ("" sorts before every time).
  const std::string from = restart ? restart->timestamp : std::string();
  callsFrom_.bind(1, line).bind(2, from);
  while (callsFrom_.step()) {
    std::string callid = callsFrom_.getText(1);
    if (restart) {
      // A key of another form is placed at the start of its second.
      std::int64_t milliseconds = -1, sequence = -1;
      openingInstant(callid, milliseconds, sequence);
      const std::string begin = callsFrom_.getText(2);
      const bool after = begin != restart->timestamp             ? begin > restart->timestamp
                         : milliseconds != restart->milliseconds ? milliseconds > restart->milliseconds
                                                                 : sequence > restart->sequence;
      if (!after) continue;
    }
    removed.push_back({callsFrom_.getInt(0), std::move(callid)});
  }
  callsFrom_.reset();
  for (const Removed& call : removed) {
    for (db::Statement* statement : {&removeErrors_, &removeTasks_, &removeRecipients_}) {
      statement->reset();
      statement->bind(1, call.callid).run();
    }
    removeCall_.reset();
    removeCall_.bind(1, call.rowid).run();
  }
  return static_cast<std::int64_t>(removed.size());
}

}  // namespace travik
