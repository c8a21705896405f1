#include "processing/calls/event_cursor.h"

#include <algorithm>
#include <utility>

#include "processing/calls/call_module.h"
#include "processing/calls/event_classification.h"
#include "processing/runtime/handled_error.h"

namespace travik {

namespace {

// A line's events come in the order of the index EventsByLine, which carries
// every column the walk reads: the rows come from the index alone, without a
// look-up in the table per row.  Events of one instant (the same timestamp,
// milliseconds and sequence, which only files stored in different runs can
// give) come from the index ordered by their text; the cursor puts them back
// into insertion order itself (sortInstants).
// The line is the one asked for: it is not read back.
constexpr std::string_view kColumns = "select rowid, Timestamp, Milliseconds, Sequence, Data from Events ";
constexpr std::string_view kOrder = " order by Timestamp, Milliseconds, Sequence";

bool sameInstant(const EventRow& a, const EventRow& b) {
  return a.milliseconds == b.milliseconds && a.sequence == b.sequence && a.timestampText == b.timestampText;
}

}  // namespace

void EventCursor::prepare(db::Connection& connection) {
  first_ = connection.prepare(std::string(kColumns) + "where Line = ? and Timestamp > ?" + std::string(kOrder));
  next_ =
      connection.prepare(std::string(kColumns) + "where Line = ? and (Timestamp, Milliseconds, Sequence) > (?, ?, ?)" +
                         std::string(kOrder));
  from_ =
      connection.prepare(std::string(kColumns) + "where Line = ? and (Timestamp, Milliseconds, Sequence) >= (?, ?, ?)" +
                         std::string(kOrder));
  window_.resize(kKeptRows + kBatchRows + 1);
}

void EventCursor::finalize() noexcept {
  first_ = db::Statement();
  next_ = db::Statement();
  from_ = db::Statement();
}

void EventCursor::start(int line) {
  line_ = line;
  rowCount_ = 0;
  base_ = 0;
  position_ = -1;
  exhausted_ = false;
  started_ = false;
  lastRead_.reset();
  fetchBatch();
}

void EventCursor::open(int line, const DateTime& after) {
  after_ = after.toStored();
  fromKey_.reset();
  start(line);
}

void EventCursor::openAt(int line, const EventKey& from) {
  fromKey_ = from;
  start(line);
  // The rows of the key's own instant come first, in insertion order; the
  // cursor goes to the key's row, or to the last row before it when the key's
  // row is gone, so that the next row is the first one behind the key.
  std::size_t at = 0;
  while (at < rowCount_ && window_[at].timestampText == from.timestamp &&
         window_[at].milliseconds == from.milliseconds && window_[at].sequence == from.sequence &&
         window_[at].rowid <= from.rowid)
    ++at;
  position_ = static_cast<std::int64_t>(at) - 1;
}

std::optional<EventKey> EventCursor::lastRead() const { return lastRead_; }

EventKey EventCursor::currentKey() const {
  const EventRow& row = current();
  return EventKey{row.timestampText, row.milliseconds, row.sequence, row.rowid};
}

void EventCursor::abandon() {
  exhausted_ = true;
  position_ = base_ + static_cast<std::int64_t>(rowCount_);
}

bool EventCursor::eof() const { return exhausted_ && position_ >= base_ + static_cast<std::int64_t>(rowCount_); }

const EventRow& EventCursor::current() const {
  if (position_ < base_ || position_ >= base_ + static_cast<std::int64_t>(rowCount_))
    throw HandledError(error_number::kNoCurrentRecord,
                       "Either BOF or EOF is True, or the current record has been deleted.");
  return slot(position_);
}

void EventCursor::moveNext() {
  if (eof()) return;
  ++position_;
  if (position_ >= base_ + static_cast<std::int64_t>(rowCount_) && !exhausted_) {
    if (beforeNextBatch) beforeNextBatch();
    fetchBatch();
  }
}

void EventCursor::movePrevious() {
  if (position_ < 0) return;
  if (position_ - 1 >= 0 && position_ - 1 < base_)
    throw HandledError(error_number::kInvalidProcedureCall, "The event cursor cannot step back that far.");
  --position_;
}

int EventCursor::classify(std::string_view data) const {
  if (position_ >= base_ && position_ < base_ + static_cast<std::int64_t>(rowCount_)) {
    const EventRow& row = slot(position_);
    if (data.data() == row.data.data() && data.size() == row.data.size()) {
      if (row.code == EventRow::kNotClassified) row.code = classifyEvent(data);
      return row.code;
    }
  }
  return classifyEvent(data);
}

void EventCursor::fetchBatch() {
  // Keep the last rows behind the window's end so a step back still finds them.
  const std::size_t keep = std::min(kKeptRows, rowCount_);
  for (std::size_t i = 0; i < keep; ++i) std::swap(window_[i], window_[rowCount_ - keep + i]);
  base_ += static_cast<std::int64_t>(rowCount_ - keep);
  rowCount_ = keep;

  db::Statement* statement = nullptr;
  if (!started_ && fromKey_) {
    statement = &from_;
    from_.reset();
    from_.bind(1, line_).bind(2, fromKey_->timestamp).bind(3, fromKey_->milliseconds).bind(4, fromKey_->sequence);
    started_ = true;
  } else if (!started_) {
    statement = &first_;
    first_.reset();
    first_.bind(1, line_).bind(2, after_);
    started_ = true;
  } else {
    // A batch ends with a whole instant, so the next one starts after it.
    const EventRow& last = window_[rowCount_ - 1];
    statement = &next_;
    next_.reset();
    next_.bind(1, line_).bind(2, last.timestampText).bind(3, last.milliseconds).bind(4, last.sequence);
  }
  const std::size_t first = rowCount_;
  std::size_t fetched = 0;
  bool more = false;  // a row of the next batch was read, and is dropped
  try {
    // Rows are reused: their strings keep their storage from batch to batch.
    // Consecutive events mostly share their second, so a stamp is parsed
    // only when its text changes.
    while (statement->step()) {
      if (rowCount_ == window_.size()) window_.resize(window_.size() + kBatchRows);
      EventRow& row = window_[rowCount_];
      const EventRow* previous = rowCount_ > 0 ? &window_[rowCount_ - 1] : nullptr;
      row.rowid = statement->getInt(0);
      const std::string_view stamp = statement->getTextView(1);
      if (previous && previous->timestampText == stamp) {
        row.timestamp = previous->timestamp;
      } else {
        row.timestamp = DateTime::parseStored(stamp).value_or(DateTime());
      }
      row.timestampText.assign(stamp);
      row.milliseconds = statement->getInt(2);
      row.sequence = statement->getInt(3);
      if (fetched >= kBatchRows && !sameInstant(row, *previous)) {
        more = true;
        break;
      }
      row.line = line_;
      row.data.assign(statement->getTextView(4));
      row.code = EventRow::kNotClassified;
      ++rowCount_;
      ++fetched;
    }
  } catch (...) {
    // A failed read ends the line here: its open call is rebuilt next run.
    exhausted_ = true;
    statement->reset();
    throw;
  }
  statement->reset();
  if (!more) exhausted_ = true;
  sortInstants(first);
  if (rowCount_ > first) {
    const EventRow& last = window_[rowCount_ - 1];
    lastRead_ = EventKey{last.timestampText, last.milliseconds, last.sequence, last.rowid};
  }
}

void EventCursor::sortInstants(std::size_t from) {
  for (std::size_t begin = from; begin < rowCount_;) {
    std::size_t end = begin + 1;
    while (end < rowCount_ && sameInstant(window_[begin], window_[end])) ++end;
    if (end - begin > 1)
      std::sort(window_.begin() + static_cast<std::ptrdiff_t>(begin),
                window_.begin() + static_cast<std::ptrdiff_t>(end),
                [](const EventRow& a, const EventRow& b) { return a.rowid < b.rowid; });
    begin = end;
  }
}

void nextEvent(CallModule& module) {
  EventCursor& events = module.events;
  if (events.eof()) return;
  guardCall(module, "nextEvent()", [&] {
    // Assigned in place: the text keeps its storage from event to event.
    if (events.bof())
      module.previousStateData.clear();
    else
      module.previousStateData.assign(events.current().data);
  });
  guardCall(module, "nextEvent()", [&] { events.moveNext(); });
}

namespace {

// Moves to the next row and classifies it; false at eof, which is noted:
// what the look wanted to see may be in events not stored yet.
bool lookAtNextEvent(CallModule& module) {
  module.events.moveNext();
  module.lookAheadRanOut = module.events.eof();
  if (module.lookAheadRanOut) return false;
  determineDatatype(module, module.events.current().data);
  return true;
}

}  // namespace

std::optional<std::string> getAdditionalDtmf(CallModule& module, std::string_view digits) {
  std::optional<std::string> joined;
  guardCall(module, "getAdditionalDtmf()", [&] {
    if (lookAtNextEvent(module) && module.dataType == event_code::kReceivedDigits) {
      // Word 1 of the text split at single blanks, without splitting it all.
      const std::string_view text = module.events.current().data;
      std::string_view second;
      if (const std::size_t blank = text.find(' '); blank != std::string_view::npos) {
        second = text.substr(blank + 1);
        second = second.substr(0, second.find(' '));
      }
      joined.emplace(digits);
      joined->append(second);
      return;
    }
    module.events.movePrevious();
  });
  return joined;
}

bool checkForAdditionalDtmf(CallModule& module) {
  bool more = false;
  guardCall(module, "checkForAdditionalDtmf()", [&] {
    more = lookAtNextEvent(module) && module.dataType == event_code::kReceivedDigits;
    module.events.movePrevious();
  });
  return more;
}

bool decryptOk(CallModule& module) {
  bool ok = true;
  guardCall(module, "decryptOk()", [&] {
    ok = !(lookAtNextEvent(module) && module.dataType == event_code::kReceivedNothing);
    module.events.movePrevious();
  });
  return ok;
}

std::optional<Reason> digitCountFailure(CallModule& module, std::int32_t length, std::int32_t expected) {
  module.lookAheadRanOut = false;
  if (length == expected) return decryptOk(module) ? std::nullopt : std::optional<Reason>(Reason::InvalidData);
  if (length > expected) return Reason::DtmfLongerThanExpected;
  return checkForAdditionalDtmf(module) ? Reason::InterdigitTimeout : Reason::DtmfShorterThanExpected;
}

}  // namespace travik
