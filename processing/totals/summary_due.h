// What the summary still owes the calls, kept from run to run.
//
// A run changes calls in the walk's transactions (and in the removal of
// obsolete calls), computes the totals from them in transactions of its own,
// and then writes the warnings and reports from the totals.  A run cut short
// in between leaves totals that do not match the calls, or no reports, and a
// later run that finds nothing to rebuild would leave them so for good.  So
// each step records in the database what the next one owes:
//   - every transaction that changes calls records that the totals are due;
//   - the transaction that commits the last of the totals records instead
//     that only the warnings and reports are due;
//   - writing the reports clears the record.
// A run that finds a record does what it names, whether it rebuilt calls or
// not; after a run that went to its end there is none, and a run with
// nothing new changes nothing.
#pragma once

#include "platform/db.h"

namespace travik {

enum class SummaryDue {
  Nothing,  // the totals and the reports are those of the calls
  Reports,  // the totals are, the warnings and reports made from them are not yet written
  Totals,   // calls changed since the totals were last computed
};

// What the database records as due.
SummaryDue summaryDue(db::Connection& db);
// Records that the totals are due; inside the transaction that changes calls.
void markTotalsDue(db::Connection& db);
// Records that only the warnings and reports are due; inside the transaction
// that commits the last of the totals.
void markReportsDue(db::Connection& db);
// Clears a record that only the reports are due, once they are written; a
// record that the totals are due stays.
void clearReportsDue(db::Connection& db);
// Clears any record (the purge, which empties the calls and the totals alike).
void clearSummaryDue(db::Connection& db);

// The statement of markTotalsDue, prepared once for a walk that records it
// line by line.
class TotalsDueMark {
 public:
  void prepare(db::Connection& db);
  void finalize() noexcept { mark_ = db::Statement(); }
  void mark();

 private:
  db::Statement mark_;
};

}  // namespace travik
