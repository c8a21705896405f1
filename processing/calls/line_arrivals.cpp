#include "processing/calls/line_arrivals.h"

namespace travik {

void clearLineArrivals(db::Connection& connection) { connection.exec("delete from linearrivals"); }

void LineArrivals::prepare(db::Connection& connection) {
  note_ = connection.prepare(
      "insert into linearrivals (line, timestamp, milliseconds, sequence) values (?1, ?2, ?3, ?4) "
      "on conflict (line) do update set timestamp = excluded.timestamp, milliseconds = excluded.milliseconds, "
      "sequence = excluded.sequence "
      "where (excluded.timestamp, excluded.milliseconds, excluded.sequence) < (timestamp, milliseconds, sequence)");
  read_ = connection.prepare("select timestamp, milliseconds, sequence from linearrivals where line = ?1");
  clear_ = connection.prepare("delete from linearrivals where line = ?1");
}

void LineArrivals::finalize() noexcept {
  note_ = db::Statement();
  read_ = db::Statement();
  clear_ = db::Statement();
}

void LineArrivals::note(int line, const EventInstant& instant) {
  note_.reset();
  note_.bind(1, line).bind(2, instant.timestamp).bind(3, instant.milliseconds).bind(4, instant.sequence).run();
}

std::optional<EventInstant> LineArrivals::read(int line) {
  read_.reset();
  read_.bind(1, line);
  std::optional<EventInstant> instant;
  if (read_.step()) instant = EventInstant{read_.getText(0), read_.getInt(1), read_.getInt(2)};
  read_.reset();
  return instant;
}

void LineArrivals::clear(int line) {
  clear_.reset();
  clear_.bind(1, line).run();
}

}  // namespace travik
