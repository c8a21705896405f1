#include "processing/calls/call_machine.h"

#include <optional>

#include "processing/calls/event_classification.h"

namespace travik {

const std::string& eventWord(MachineCall& call, std::size_t index) { return eventWord(call.module, index, call.state); }

const std::string* wordAt(MachineCall& call, std::size_t index) { return wordAt(call.module, index, call.state); }

std::int32_t splitDigits(MachineCall& call) {
  split(call.module);
  return static_cast<std::int32_t>(textLength(eventWord(call, 1)));
}

void abandonCall(MachineCall& call, const Failure& failure) {
  callAbend(call.module, failure.stage, failure.reason, failure.expectedDigits, failure.receivedDigits,
            failure.expectedCount, failure.receivedCount);
}

bool digitCountCheck(MachineCall& call, std::int32_t expected, Stage stage, bool endTaskFirst) {
  CallModule& module = call.module;
  const std::int32_t length = splitDigits(call);
  const std::optional<Reason> reason = digitCountFailure(module, length, expected);
  if (!reason) return true;
  if (module.lookAheadRanOut) return false;  // left open: the string may go on
  if (endTaskFirst) call.endTaskIncomplete(module);
  abandonCall(call, {.stage = stage, .reason = *reason, .expectedCount = expected, .receivedCount = length});
  return false;
}

}  // namespace travik
