#include "processing/totals/threshold_warnings.h"

#include <optional>
#include <vector>

#include "processing/runtime/activity_log.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/event_log.h"

namespace travik {

namespace {

constexpr const char* kLogThresholdWarnings = "logThresholdWarnings()";
constexpr const char* kExcludeFromEventViewer = "excludeFromEventViewer()";

struct NodeTotal {
  std::string serialNumber;                  // octelserialnumber as stored
  std::optional<std::int64_t> errorsWithin;  // errorswithininterval; empty compares as below every threshold
};

}  // namespace

std::string thresholdMessage(const std::string& serialNumber, std::int64_t errorsWithinInterval,
                             std::int32_t errorIntervalHours) {
  return serialNumber + "\r\n [" + std::to_string(errorsWithinInterval) +
         " communication problems encountered within the last " + std::to_string(errorIntervalHours) + " hours.]";
}

bool excludeFromEventViewer(Program& program, std::string serialNumber) {
  // Calls on which no node identified itself are totalled under "Unknown";
  // a node that reported serial 0 is the same unknown node.
  if (serialNumber == "0") serialNumber = "Unknown";
  bool excluded = false;
  guard(program, kExcludeFromEventViewer, [&] {
    auto statement =
        program.db.prepare("select 1 from excludefromeventviewer where upper(serialno) = upper(?1) limit 1");
    statement.bind(1, serialNumber);
    excluded = statement.step();
  });
  return excluded;
}

void logThresholdWarnings(Program& program) {
  // Read the rows first: the log lines below let other work run, and no
  // statement should stay open across that.
  std::vector<NodeTotal> nodes;
  if (!guard(program, kLogThresholdWarnings, [&] {
        auto statement = program.db.prepare("select octelserialnumber, errorswithininterval from octelsummary");
        while (statement.step()) {
          NodeTotal node;
          node.serialNumber = statement.getText(0);
          if (!statement.isNull(1)) node.errorsWithin = statement.getInt(1);
          nodes.push_back(std::move(node));
        }
      }))
    return;

  const Settings& settings = program.settings;
  for (const NodeTotal& node : nodes) {
    if (excludeFromEventViewer(program, node.serialNumber)) {
      writeLog(program,
               node.serialNumber +
                   " is configured for exclusion from threshold violation Event Viewer notification.  Skipping "
                   "notification processing for this record.",
               true);
      continue;
    }
    if (!node.errorsWithin || *node.errorsWithin < settings.warningThreshold) continue;
    // The error threshold is only looked at once the warning threshold is
    // reached; with the thresholds the wrong way round a node between them gets nothing.
    const std::string message = thresholdMessage(node.serialNumber, *node.errorsWithin, settings.errorIntervalHours);
    if (*node.errorsWithin >= settings.errorThreshold)
      myEventLog(program, event_id::kNodeErrorThreshold, 3, message);
    else
      myEventLog(program, event_id::kNodeWarningThreshold, 2, message);
  }
}

}  // namespace travik
