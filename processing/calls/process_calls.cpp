#include "processing/calls/process_calls.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string>
#include <utility>

#include "processing/calls/call_ids.h"
#include "processing/calls/call_module.h"
#include "processing/calls/event_classification.h"
#include "processing/calls/inbound_call_machine.h"
#include "processing/calls/outbound_call_machine.h"
#include "processing/calls/walk_host.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/error_handling.h"

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
  if (index >= module.eventWords.size())
    throw HandledError(error_number::kSubscriptOutOfRange, "Subscript out of range");
  return module.eventWords[index];
}

bool opensCall(int code) {
  return code == event_code::kCallReceived || code == event_code::kProcessingPendingCallout ||
         code == event_code::kCallOutProcessInitiated || code == event_code::kProcessingMessagesFromNode ||
         code == event_code::kCallStatus;
}

// Adds the calls row for the opening event under the cursor and runs its
// machine.  Returns the key of the call's last event when it ended.
std::optional<EventKey> openCall(CallModule& module, int line, int code) {
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
  // A machine that ends its call leaves the cursor on the call's last event.
  if (module.lineAbandoned || events.eof() || events.bof() || !records.callEnded()) return std::nullopt;
  return events.currentKey();
}

// What one walk over a line's events made.
struct LineWalk {
  int calls = 0;                         // calls opened
  std::optional<EventKey> lastFinished;  // last event of the last call that ended
};

// Walks the line's events from the one behind the cursor.
LineWalk walkEvents(CallModule& module, int line) {
  constexpr std::string_view kProcedure = "processCallsForLine()";
  EventCursor& events = module.events;
  LineWalk walk;
  guardCall(module, kProcedure, [&] { events.moveNext(); });
  while (!events.eof()) {
    module.pendingOctelSerial = kUnknownSerial;
    module.pendingCorvaneSerial = kUnknownSerial;
    determineDatatype(module, currentData(module));
    const int code = module.dataType;
    if (opensCall(code)) {
      if (std::optional<EventKey> end = openCall(module, line, code)) walk.lastFinished = std::move(end);
      ++walk.calls;
    }
    if (events.eof()) break;
    guardCall(module, kProcedure, [&] { events.moveNext(); });
  }
  return walk;
}

// The marks of a line that has none: its calls were made before the walk
// kept marks, by the rule that the walk goes on after the second in which
// the line's newest finished call ended.  That second is taken as read.
LineWalkMarks marksFromCalls(CallModule& module, int line) {
  LineWalkMarks marks;
  if (const std::optional<DateTime> end = module.records.lastCallEnd(line)) {
    constexpr std::int64_t kAfterAll = std::numeric_limits<std::int64_t>::max();
    marks.restart = EventKey{end->toStored(), 1000, kAfterAll, kAfterAll};
    marks.walked = *marks.restart;
  } else {
    marks.walked = EventKey{"", -1, -1, -1};
  }
  return marks;
}

// Takes back what an abandoned line committed before it was given up; when
// that fails too, the next walk of the line does it.
void removeAbandonedRows(CallModule& module, int line, const std::optional<EventKey>& restart) {
  if (!module.linePartCommitted) return;
  guardWith(
      [&] {
        db::Transaction transaction(module.program.db);
        module.walks.removeCallsAfter(line, restart);
        transaction.commit();
      },
      ignoreFailure);
}

void closeModule(CallModule& module) noexcept {
  module.transaction.reset();
  module.records.finalize();
  module.events.finalize();
  module.walks.finalize();
}

// The highest line number of any stored event (0 without events).
int highestStoredLine(Program& program) {
  db::Statement highest = program.db.prepare("select max(Line) from Events");
  if (!highest.step() || highest.isNull(0)) return 0;
  return static_cast<int>(highest.getInt(0));
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

namespace {

EventInstant instantOf(const EventKey& key) { return EventInstant{key.timestamp, key.milliseconds, key.sequence}; }

// The line's marks, and whether it holds events its last walk did not see:
// behind the last one read, or stored since among those read.  An event
// stored since at or before the last one read moves the restart back to a
// call boundary before it (a finished call may have looked at the event
// after its last one, so even one just behind the restart point counts).
bool lineHasNewEvents(CallModule& module, int line, LineWalkMarks& marks) {
  std::optional<LineWalkMarks> stored = module.walks.read(line);
  marks = stored ? std::move(*stored) : marksFromCalls(module, line);
  const std::optional<EventInstant> arrival = module.walks.arrival(line);
  if (arrival && marks.restart && !(instantOf(marks.walked) < *arrival)) {
    std::optional<EventKey> before = module.walks.restartBefore(line, *arrival);
    if (!before || instantOf(*before) < instantOf(*marks.restart)) marks.restart = std::move(before);
  }
  return arrival || module.walks.hasEventsAfter(line, marks.walked);
}

}  // namespace

bool callsToRebuild(Program& program) {
  CallModule module(program);
  module.records.prepare(program.db);
  module.walks.prepare(program.db);
  const int lastLine = std::max(program.highestLineNumber, highestStoredLine(program));
  LineWalkMarks marks;
  for (int line = 1; line <= lastLine; ++line)
    if (lineHasNewEvents(module, line, marks)) return true;
  return false;
}

bool processCallsForLine(CallModule& module, int line, int lastLine) {
  constexpr std::string_view kProcedure = "processCallsForLine()";
  Program& program = module.program;
  HostSlot& host = program.host;

  // Nothing behind the last event the walk has read: the line stays as it is.
  LineWalkMarks marks;
  bool newEvents = false;
  if (!guardCall(module, kProcedure, [&] { newEvents = lineHasNewEvents(module, line, marks); })) return false;
  if (!newEvents) return false;

  showStatusLine(program, "Processing calls for line " + std::to_string(line) + "...");
  host.yield();
  if (lastLine < 1) lastLine = program.highestLineNumber;
  host.setProgressValue(host.progressMax() < lastLine ? host.progressMax() : line);

  // Nothing written yet: a database locked by the other program leaves the line for the next run.
  module.lineAbandoned = false;
  module.linePartCommitted = false;
  module.pauseFailure.reset();
  module.records.startLine();
  if (!guardCall(module, kProcedure, [&] { beginLineTransaction(module); })) return false;
  // The calls that opened behind the restart point are unfinished, or were
  // written by a walk that did not complete: they are made again from their
  // events, with whatever arrived since.
  if (!guardCall(module, kProcedure, [&] {
        module.walks.removeCallsAfter(line, marks.restart);
        if (marks.restart)
          module.events.openAt(line, *marks.restart);
        else
          module.events.open(line, kNoCallYet);
      })) {
    abandonLine(module);
    return false;
  }
  const LineWalk walk = walkEvents(module, line);
  if (!module.lineAbandoned) {
    if (walk.lastFinished) marks.restart = walk.lastFinished;
    if (const std::optional<EventKey> last = module.events.lastRead()) marks.walked = *last;
    guardCall(module, kProcedure, [&] { module.records.savePending(); });
    if (!module.lineAbandoned && !guardCall(module, kProcedure, [&] {
          module.walks.write(line, marks);
          commitLineTransaction(module);
        }))
      abandonLine(module);
  }
  if (module.lineAbandoned) removeAbandonedRows(module, line, marks.restart);
  module.records.forgetRows();

  for (int i = 0; i < walk.calls; ++i) host.sleep(kPauseAfterCallMs);
  return true;
}

bool processCalls(Program& program) {
  constexpr std::string_view kProcedure = "processCalls()";
  HostSlot& host = program.host;
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
  const WalkHost walkHost(module);

  module.events.beforeNextBatch = [&host] { host.honourStop(); };
  // Every line with stored events, not only those this program has parsed:
  // a run cut short after its parse leaves events whose calls are not built.
  int lastLine = 0;
  const bool prepared = guard(program, kProcedure, [&] {
    module.records.prepare(program.db);
    module.events.prepare(program.db);
    module.walks.prepare(program.db);
    lastLine = std::max(program.highestLineNumber, highestStoredLine(program));
  });
  host.setMousePointer(kPointerHourglass);
  if (!prepared || lastLine < 1) return false;

  host.setProgressMin(0);
  host.setProgressMax(lastLine);
  host.setProgressValue(0);
  host.yield();
  host.sleep(kPauseBeforeFirstLineMs);

  bool walked = false;
  for (int line = 1; line <= lastLine; ++line) {
    walked |= processCallsForLine(module, line, lastLine);
    host.sleep(kPauseAfterLineMs);
  }

  host.setMousePointer(kPointerDefault);
  host.setProgressValue(0);
  return walked;
}

}  // namespace travik
