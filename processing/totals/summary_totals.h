// The totals of each summary row: calls, failed calls, error percentage, time
// in use and the eleven per-call counters, summed from the calls table; for an
// Octel node also the same three figures over the recent error interval.
//
// Each table is replaced whole in one transaction: its rows, one per line or
// node of calls, and their totals.  A run whose totals cannot be computed
// leaves the previous totals as they were, and a failure before never leaves
// rows for the totals to add onto.  These operations never change a calls row.
#pragma once

#include <cstdint>

#include "platform/db.h"
#include "processing/runtime/program.h"

namespace travik {

// Replaces linesummary with the totals of every line of calls.  True when done.
bool calculateTotalsForLines(Program& program);
// Replaces octelsummary with the totals of every node of calls, the
// within-interval figures included.  True when done.  `linesComputed` says
// that the line totals were just committed from the same calls: the same
// transaction then records that the totals are no longer due, only the
// warnings and reports (summary_due.h).
bool calculateTotalsForOctels(Program& program, bool linesComputed = false);
// Replaces the rows of linesummary (octelsummary) by one row per distinct
// line (node) of calls, totals not yet computed.  Throws on failure.
void replaceLineSummaryRows(db::Connection& connection);
void replaceOctelSummaryRows(db::Connection& connection);

// Whole-number percentage of errors in calls, halves to the even neighbour;
// 0 when either count is 0.
std::int32_t errorPercent(std::int64_t errors, std::int64_t calls);

}  // namespace travik
