// Events the line walk has not seen yet, per gateway line.
//
// The walk goes on behind where it stopped, which holds only while new events
// are stamped after the old ones.  A gateway clock set back, an event stamped
// ahead, or a copy of an older file stored late puts new events among (or
// before) those the walk has read.  So whatever stores events notes, per line
// and in the same transaction, the earliest of them in walk order; the walk
// reads the note, restarts early enough to take those events in their place,
// and clears the note in the transaction that writes the line's rebuilt calls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/db.h"

namespace travik {

// An event's place in walk order, without its insertion order.
struct EventInstant {
  std::string timestamp;  // as stored
  std::int64_t milliseconds = 0;
  std::int64_t sequence = 0;

  auto operator<=>(const EventInstant&) const = default;
};

// Forgets every note (the purge of the events).
void clearLineArrivals(db::Connection& connection);

class LineArrivals {
 public:
  void prepare(db::Connection& connection);
  void finalize() noexcept;

  // Notes that an event of `line` at `instant` was stored; a note holds the
  // earliest instant noted since it was last cleared.
  void note(int line, const EventInstant& instant);
  // The line's note; nullopt when every stored event of the line was walked.
  std::optional<EventInstant> read(int line);
  void clear(int line);

 private:
  db::Statement note_;
  db::Statement read_;
  db::Statement clear_;
};

}  // namespace travik
