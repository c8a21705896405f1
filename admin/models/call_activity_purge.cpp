#include "admin/models/call_activity_purge.h"

#include "processing/calls/line_arrivals.h"
#include "processing/ingest/trace_read_positions.h"
#include "processing/totals/summary_due.h"

namespace travik {

void purgeCallActivity(db::Connection& db) {
  db::Transaction transaction(db);
  for (const char* table : {"Events", "calls", "errors", "tasks", "recipients", "linesummary", "octelsummary"})
    db.exec(std::string("delete from ") + table);
  // Without their events the trace files are read again from their start.
  clearTraceReadPositions(db);
  // Without events the walk has read nothing: events stored again are walked again.
  db.exec("delete from linewalk");
  clearLineArrivals(db);
  // No calls and no totals: nothing is owed to the summary.
  clearSummaryDue(db);
  transaction.commit();
}

}  // namespace travik
