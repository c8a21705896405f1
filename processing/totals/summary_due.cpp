#include "processing/totals/summary_due.h"

namespace travik {

namespace {

// At most one row: the stage that is due.  Kept in step with data/schema.sql,
// which delivers the same table.
constexpr const char* kCreateTable =
    "create table if not exists summarydue (id integer primary key check (id = 1), "
    "stage text not null check (stage in ('totals', 'reports')))";
constexpr const char* kMarkTotals = "insert or replace into summarydue (id, stage) values (1, 'totals')";

}  // namespace

void ensureSummaryDueTable(db::Connection& db) { db.exec(kCreateTable); }

SummaryDue summaryDue(db::Connection& db) {
  db::Statement exists = db.prepare("select 1 from sqlite_master where type = 'table' and name = 'summarydue'");
  if (!exists.step()) return SummaryDue::Nothing;
  db::Statement stage = db.prepare("select stage from summarydue");
  if (!stage.step()) return SummaryDue::Nothing;
  return stage.getTextView(0) == "totals" ? SummaryDue::Totals : SummaryDue::Reports;
}

void markTotalsDue(db::Connection& db) {
  ensureSummaryDueTable(db);
  db.exec(kMarkTotals);
}

void markReportsDue(db::Connection& db) {
  ensureSummaryDueTable(db);
  db.exec("insert or replace into summarydue (id, stage) values (1, 'reports')");
}

void clearReportsDue(db::Connection& db) {
  ensureSummaryDueTable(db);
  db.exec("delete from summarydue where stage = 'reports'");
}

void clearSummaryDue(db::Connection& db) {
  ensureSummaryDueTable(db);
  db.exec("delete from summarydue");
}

void TotalsDueMark::prepare(db::Connection& db) {
  ensureSummaryDueTable(db);
  mark_ = db.prepare(kMarkTotals);
}

void TotalsDueMark::mark() {
  mark_.reset();
  mark_.run();
}

}  // namespace travik
