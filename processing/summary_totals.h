// The totals of each summary row: calls, failed calls, error percentage, time
// in use and the eleven per-call counters, summed from the calls table; for an
// Octel node also the same three figures over the recent error interval.
//
// The summary rows must exist already (getLinesUsed, getOctelNodes); these
// operations fill them and never change a calls row.
#pragma once

#include <cstdint>

#include "processing/program.h"

namespace travik {

// Fills every linesummary row.
void calculateTotalsForLines(Program& program);
// Fills every octelsummary row, the within-interval figures included.
void calculateTotalsForOctels(Program& program);

// Whole-number percentage of errors in calls, halves to the even neighbour;
// 0 when either count is 0.
std::int32_t errorPercent(std::int64_t errors, std::int64_t calls);

}  // namespace travik
