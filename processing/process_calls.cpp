#include "processing/process_calls.h"

#include <charconv>
#include <limits>
#include <string>
#include <utility>

#include "processing/activity_log.h"
#include "processing/call_ids.h"
#include "processing/call_module.h"
#include "processing/error_handling.h"
#include "processing/event_classification.h"
#include "processing/inbound_call_machine.h"
#include "processing/outbound_call_machine.h"

namespace travik {

namespace {

constexpr int kPauseBeforeFirstLineMs = 3000;
constexpr int kPauseAfterLineMs = 1000;
constexpr int kPauseAfterCallMs = 2;

// The first line's cut-off when the line has no call yet: every event is new.
const DateTime kNoCallYet(1900, 1, 1);

// A whole number as the original's conversion to a 32-bit integer read it:
// "000123" is 123; anything but an optional sign and digits does not convert.
std::int32_t toWholeNumber(std::string_view text) {
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error == std::errc::invalid_argument || end != digits.data() + digits.size())
    throw HandledError(error_number::kTypeMismatch, "Type mismatch");
  if (error == std::errc::result_out_of_range || value > std::numeric_limits<std::int32_t>::max() ||
      value < std::numeric_limits<std::int32_t>::min())
    throw HandledError(error_number::kOverflow, "Overflow");
  return static_cast<std::int32_t>(value);
}

// Word `index` of eventWords; a missing word fails the pick that needs it.
const std::string& pickWord(const CallModule& module, std::size_t index) {
  if (index >= module.eventWords.size()) throw HandledError(9, "Subscript out of range");
  return module.eventWords[index];
}

bool opensCall(int code) {
  return code == event_code::kCallReceived || code == event_code::kProcessingPendingCallout ||
         code == event_code::kCallOutProcessInitiated || code == event_code::kProcessingMessagesFromNode ||
         code == event_code::kCallStatus;
}

// Adds the calls row for the opening event under the cursor and runs its machine.
void openCall(CallModule& module, int line, int code) {
  constexpr std::string_view kProcedure = "processCallsForLine()";
  CallRecords& records = module.records;
  EventCursor& events = module.events;
  const std::int64_t opening = events.position();

  guardCall(module, kProcedure, [&] { records.saveCall(); });
  CallRow& call = records.newCall();
  tagCall(module);
  call.line = line;
  call.inbound = code == event_code::kCallReceived;
  if (code == event_code::kProcessingPendingCallout || code == event_code::kCallOutProcessInitiated ||
      code == event_code::kProcessingMessagesFromNode)
    split(module);
  switch (code) {
    case event_code::kProcessingPendingCallout:
      guardCall(module, kProcedure,
                [&] { module.pendingOctelSerial = std::to_string(toWholeNumber(pickWord(module, 5))); });
      break;
    case event_code::kCallOutProcessInitiated:
      guardCall(module, kProcedure, [&] { module.pendingOctelSerial = pickWord(module, 6); });
      break;
    case event_code::kProcessingMessagesFromNode:
      guardCall(module, kProcedure, [&] { module.pendingCorvaneSerial = pickWord(module, 4); });
      guardCall(module, kProcedure, [&] { module.pendingOctelSerial = pickWord(module, 7); });
      break;
    case event_code::kCallStatus: module.pendingOctelSerial = kUnknownSerial; break;
    default: break;
  }
  guardCall(module, kProcedure, [&] { records.saveCall(); });

  if (code == event_code::kCallStatus) {
    // The dial result opens the call and is also its machine's first event.
    guardCall(module, kProcedure, [&] { events.movePrevious(); });
    runOutboundCall(module);
  } else if (code == event_code::kCallReceived) {
    processInboundCall(module);
  } else {
    runOutboundCall(module);
  }

  // A machine that never read past the opening event would have the walk
  // open the same call again, for ever.
  if (!events.eof() && events.position() < opening) {
    while (!events.eof() && events.position() < opening) events.moveNext();
  }
}

// Walks the line's events from the first; returns the number of calls opened.
int walkEvents(CallModule& module, int line) {
  constexpr std::string_view kProcedure = "processCallsForLine()";
  EventCursor& events = module.events;
  int calls = 0;
  guardCall(module, kProcedure, [&] { events.moveNext(); });
  while (!events.eof()) {
    module.pendingOctelSerial = kUnknownSerial;
    module.pendingCorvaneSerial = kUnknownSerial;
    determineDatatype(module, currentData(module));
    const int code = module.dataType;
    if (opensCall(code)) {
      openCall(module, line, code);
      ++calls;
    }
    if (events.eof()) break;
    guardCall(module, kProcedure, [&] { events.moveNext(); });
  }
  return calls;
}

void closeModule(CallModule& module) noexcept {
  module.transaction.reset();
  module.records.finalize();
  module.events.finalize();
}

}  // namespace

void tagCall(CallModule& module) {
  guardCall(module, "tagCall()", [&] {
    const EventRow& event = module.events.current();
    CallRow& call = module.records.call();
    call.callid = callKey(event.timestamp, event.milliseconds, event.sequence, event.line);
    call.timestampbegin = event.timestamp;
  });
}

void processCallsForLine(CallModule& module, int line) {
  constexpr std::string_view kProcedure = "processCallsForLine()";
  Program& program = module.program;
  Host& host = program.host;

  // The line's last call still open means its removal failed: reading the
  // whole line again would rebuild its calls twice, so the line waits.
  DateTime lastCallEnd = kNoCallYet;
  if (!guardCall(module, kProcedure, [&] { lastCallEnd = module.records.lastCallEnd(line).value_or(kNoCallYet); }))
    return;
  if (!guardCall(module, kProcedure, [&] { module.events.open(line, lastCallEnd); })) return;
  if (module.events.empty()) return;

  program.statusMessage = "Processing calls for line " + std::to_string(line) + "...";
  host.showStatus(program.statusMessage, StatusColour::Progress);
  writeLog(program, program.statusMessage, true);
  host.yield();
  host.setProgressValue(host.progressMax() < program.highestLineNumber ? host.progressMax() : line);

  // Nothing written yet: a database locked by the other program leaves the line for the next run.
  if (!guardCall(module, kProcedure, [&] { beginLineTransaction(module); })) return;
  const int calls = walkEvents(module, line);
  guardCall(module, kProcedure, [&] { module.records.savePending(); });
  guardCall(module, kProcedure, [&] { commitLineTransaction(module); });
  module.records.forgetRows();

  for (int i = 0; i < calls; ++i) host.sleep(kPauseAfterCallMs);
}

void processCalls(Program& program) {
  constexpr std::string_view kProcedure = "processCalls()";
  Host& host = program.host;
  CallModule module(program);

  // The statements must go before the database closes, also when the program
  // ends in the middle of the walk.
  struct Hook {
    Program& program;
    CallModule& module;
    std::function<void()> previous;
    Hook(Program& p, CallModule& m) : program(p), module(m), previous(std::move(p.closeSharedRecordsets)) {
      program.closeSharedRecordsets = [&m] { closeModule(m); };
    }
    ~Hook() {
      closeModule(module);
      program.closeSharedRecordsets = std::move(previous);
    }
  } hook(program, module);

  module.events.beforeNextBatch = [&host] { host.honourStop(); };
  const bool prepared = guard(program, kProcedure, [&] {
    module.records.prepare(program.db);
    module.events.prepare(program.db);
  });
  host.setMousePointer(kPointerHourglass);
  if (!prepared || program.highestLineNumber < 1) return;

  host.setProgressMin(0);
  host.setProgressMax(program.highestLineNumber);
  host.setProgressValue(0);
  host.yield();
  host.sleep(kPauseBeforeFirstLineMs);

  const int lastLine = program.highestLineNumber;
  for (int line = 1; line <= lastLine; ++line) {
    processCallsForLine(module, line);
    host.sleep(kPauseAfterLineMs);
  }

  host.setMousePointer(kPointerDefault);
  host.setProgressValue(0);
}

}  // namespace travik
