#include "processing/totals/summary_due.h"

namespace travik {

namespace {

// At most one row: the stage that is due.
constexpr const char* kMarkTotals = "insert or replace into summarydue (id, stage) values (1, 'totals')";

}  // namespace

SummaryDue summaryDue(db::Connection& db) {
  db::Statement stage = db.prepare("select stage from summarydue");
  if (!stage.step()) return SummaryDue::Nothing;
  return stage.getTextView(0) == "totals" ? SummaryDue::Totals : SummaryDue::Reports;
}

void markTotalsDue(db::Connection& db) { db.exec(kMarkTotals); }

void markReportsDue(db::Connection& db) {
  db.exec("insert or replace into summarydue (id, stage) values (1, 'reports')");
}

void clearReportsDue(db::Connection& db) { db.exec("delete from summarydue where stage = 'reports'"); }

void clearSummaryDue(db::Connection& db) { db.exec("delete from summarydue"); }

void TotalsDueMark::prepare(db::Connection& db) { mark_ = db.prepare(kMarkTotals); }

void TotalsDueMark::mark() {
  mark_.reset();
  mark_.run();
}

}  // namespace travik
