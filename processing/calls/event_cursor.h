// The event cursor: one line's new events, in time order, one at a time.
//
// The line walk and both call machines share one cursor.  It streams the
// events of one line stamped after a cut-off in the order timestamp,
// milliseconds, sequence (then insertion order), reading them from the
// database in small batches so that memory stays the same whatever the
// backlog.  It keeps the last few rows it passed, which is all the machines
// need: they step forward and, after a look at the next row, back one row.
//
// Positions follow the record-set model the machines are written against:
// before the first row (bof), on a row, or after the last row (eof).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db.h"
#include "processing/calls/failure_codes.h"
#include "processing/text/date_time.h"

namespace travik {

// One row of Events.
struct EventRow {
  DateTime timestamp;                 // to the second
  std::int64_t milliseconds = 0;      // 0 to 999
  std::int64_t sequence = 0;          // order among events of one instant
  int line = 0;                       // the gateway line
  std::string data;                   // the event text
  std::string timestampText;          // timestamp as stored, the key of the next batch
  std::int64_t rowid = 0;             // insertion order, the last part of that key
  mutable int code = kNotClassified;  // classifyEvent(data), once asked for

  static constexpr int kNotClassified = -1;
};

// Where an event stands in walk order: its instant, then its insertion order.
struct EventKey {
  std::string timestamp;  // as stored
  std::int64_t milliseconds = 0;
  std::int64_t sequence = 0;
  std::int64_t rowid = 0;
};

class EventCursor {
 public:
  // Rows kept behind the current one, so a look ahead can always step back.
  static constexpr std::size_t kKeptRows = 4;
  // Rows read from the database at a time (a batch runs on to the end of
  // its last instant).
  static constexpr std::size_t kBatchRows = 512;

  // Prepares the cursor's statements; once per run.
  void prepare(db::Connection& connection);
  // Drops the statements (before the database closes).
  void finalize() noexcept;

  // Starts on the events of `line` stamped after `after` (whole seconds, so
  // events in the second of `after` itself are not read).  The cursor stands
  // before the first row; empty() tells whether there is any.
  void open(int line, const DateTime& after);
  // Starts on the events of `line` from `from` on in walk order.  When that
  // event is still stored the cursor stands on it, so that the walk goes on
  // behind it and a step back from the next event finds it; otherwise the
  // cursor stands before the first later row.
  void openAt(int line, const EventKey& from);
  bool empty() const { return rowCount_ == 0 && exhausted_; }
  // The key of the last row read from the database (the line's last event
  // once the cursor has reached eof); nullopt when none was read.
  std::optional<EventKey> lastRead() const;
  // The key of the row under the cursor; only on a row.
  EventKey currentKey() const;
  // Goes to eof at once and reads no further: the walk of the line is given up.
  void abandon();

  bool bof() const { return position_ < 0; }
  // Where the cursor stands: -1 before the first row, then 0, 1, ... (eof: one past the last).
  std::int64_t position() const { return position_; }
  bool eof() const;
  // The row under the cursor; only when neither bof() nor eof().
  const EventRow& current() const;

  // One row on; from bof to the first row; nothing at eof.
  void moveNext();
  // Called before each batch of a line's events after the first is read: a
  // line's walk, machines included, is a place where a stop request is
  // honoured (Host::honourStop), and its calls then roll back.
  std::function<void()> beforeNextBatch;
  // One row back; from eof to the last row, from the first row to bof.
  // Stepping back further than the kept rows throws.
  void movePrevious();

  // classifyEvent(data), from the current row's remembered code when `data`
  // is that row's text: the walk and the machines classify a row several
  // times as they look ahead and step back.
  int classify(std::string_view data) const;

 private:
  EventRow& slot(std::int64_t position) { return window_[static_cast<std::size_t>(position - base_)]; }
  const EventRow& slot(std::int64_t position) const { return window_[static_cast<std::size_t>(position - base_)]; }
  void fetchBatch();
  void start(int line);
  // Puts the rows of each instant from window_[from] on into insertion order.
  void sortInstants(std::size_t from);

  db::Statement first_;  // the first batch of a line: after the cut-off
  db::Statement next_;   // every further batch: after the last row read
  db::Statement from_;   // the first batch of a line opened at an event
  std::optional<EventKey> fromKey_;
  std::optional<EventKey> lastRead_;
  int line_ = 0;
  std::string after_;
  // window_[0 .. rowCount_) holds the rows at positions base_ .. base_ + rowCount_.
  std::vector<EventRow> window_;
  std::size_t rowCount_ = 0;
  std::int64_t base_ = 0;
  std::int64_t position_ = -1;
  bool exhausted_ = true;  // no further rows in the database
  bool started_ = false;   // the first batch was read
};

struct CallModule;

// The cursor procedures of the machines.  All but nextEvent expect the cursor
// on a row.

// Remembers the current row's text in previousStateData ("" before the first
// row), then moves one row on.  Does nothing at eof; does not classify.
void nextEvent(CallModule& module);
// Looks at the next row: when it carries received digits (event code 44) the
// cursor stays on it and the result is `digits` followed by that row's
// digits; otherwise the cursor steps back and the result is empty ("NOMORE").
// dataType is left with the next row's code (unchanged at eof).
// Each look ahead sets module.lookAheadRanOut when it found the end of the
// stored events: a machine then leaves the call open instead of judging it,
// since the events the look wanted may not be stored yet.
std::optional<std::string> getAdditionalDtmf(CallModule& module, std::string_view digits);
// True when the next row carries received digits; the cursor does not move.
bool checkForAdditionalDtmf(CallModule& module);
// False only when the next row is exactly "Received" (the far side could not
// decrypt); true at eof.  The cursor does not move.
bool decryptOk(CallModule& module);
// Judges a digit string of `length` digits where `expected` were due: nothing
// when it is complete and decrypts, otherwise why it failed (too long, cut by
// the inter-digit timeout, too short, or not decryptable).  A failure found
// by a look past the stored events is no judgement: lookAheadRanOut is then
// set, and the caller leaves the call open.
std::optional<Reason> digitCountFailure(CallModule& module, std::int32_t length, std::int32_t expected);

}  // namespace travik
