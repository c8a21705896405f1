// Event-log entries for Octel nodes with too many failed calls in the recent
// error interval: warning 6 at the warning threshold, error 7 at the error
// threshold too.  Nodes listed in excludefromeventviewer get none; a line in
// the activity log says they were skipped.
#pragma once

#include <cstdint>
#include <string>

#include "processing/runtime/program.h"

namespace travik {

// Writes at most one entry per octelsummary row; nothing is remembered
// between runs, so a node over the threshold gets an entry at every run.
void logThresholdWarnings(Program& program);

// True when the node is listed in excludefromeventviewer, ignoring letter
// case.  A serial "0" is looked up as "Unknown".
bool excludeFromEventViewer(Program& program, std::string serialNumber);

// The entry text of a node: the serial alone on the first line, the count and
// the interval on the second.
std::string thresholdMessage(const std::string& serialNumber, std::int64_t errorsWithinInterval,
                             std::int32_t errorIntervalHours);

}  // namespace travik
