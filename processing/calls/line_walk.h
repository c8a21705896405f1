// Where the line walk stands on each line, kept from run to run.
//
// A line's calls are rebuilt from its events in one pass, but the events
// arrive over many runs and a run can end anywhere.  So the walk keeps, per
// line, two events: the last event of the newest finished call (a finished
// call never changes, so the next walk restarts right behind it, even inside
// the same second) and the last event the walk has read (a line with no
// event behind that one has nothing new, and is left exactly as it is).
// Calls that opened behind the restart point are unfinished, or were written
// by a walk that did not complete; the next walk of the line replaces them.
//
// Events stored after the walk passed their place (a clock set back, an
// event stamped ahead of the rest, a late copy) are noted per line as they
// are stored (ingest/line_arrivals.h).  The walk then restarts behind the
// newest call that opened before the earliest of them and rebuilds every
// call from there, so they are walked in their place among the others: a
// call's outcome depends on nothing after the event that opens the next.
//
// Both marks are written in the transaction that writes the line's last rows,
// so they never claim more than the tables hold; so is the record that the
// totals are due (summary_due.h).  A walk cut short before that commit
// leaves the line's marks behind its events, and the next run walks the line
// again, which makes the totals due then.
#pragma once

#include <optional>

#include "platform/db.h"
#include "processing/calls/event_cursor.h"
#include "processing/calls/line_arrivals.h"
#include "processing/totals/summary_due.h"

namespace travik {

// The row of linewalk for one line.
struct LineWalkMarks {
  std::optional<EventKey> restart;  // last event of the newest finished call; none: from the first event
  EventKey walked;                  // last event the walk has read
};

// The marks of every line, read and written with prepared statements.
class LineWalkTable {
 public:
  void prepare(db::Connection& connection);
  void finalize() noexcept;

  // The line's marks; nullopt when the line has never been walked since the
  // table was made (the calls of such a line were made without marks).
  std::optional<LineWalkMarks> read(int line);
  // Writes the line's marks after a walk, which has seen every stored event
  // of the line, and records that the totals are due.
  void write(int line, const LineWalkMarks& marks);
  // True when the line holds an event behind `after` in walk order.
  bool hasEventsAfter(int line, const EventKey& after);
  // The earliest event of the line stored since its last walk; nullopt when
  // none was.
  std::optional<EventInstant> arrival(int line) { return arrivals_.read(line); }
  // Where the walk restarts to take an event stored at `late` in its place:
  // the last event before the opening of the newest call that opened before
  // `late`; nullopt (the line's first event) when no call did.
  std::optional<EventKey> restartBefore(int line, const EventInstant& late);
  // Removes the calls of the line that opened behind `restart` (all its calls
  // without one), with their tasks, recipients and errors.  Returns how many.
  std::int64_t removeCallsAfter(int line, const std::optional<EventKey>& restart);

 private:
  db::Statement read_;
  db::Statement write_;
  db::Statement eventsAfter_;
  db::Statement callsFrom_;
  db::Statement removeCall_;
  db::Statement removeErrors_;
  db::Statement removeTasks_;
  db::Statement removeRecipients_;
  db::Statement callsBefore_;
  db::Statement instantBefore_;
  db::Statement lastOfInstant_;
  LineArrivals arrivals_;
  TotalsDueMark totalsDue_;
};

}  // namespace travik
