// The frame both call machines run in, and the steps they share.
//
// A call machine is a table of states.  Each pass of the frame reads the
// line's next event and, at the end of the stored events, leaves the call
// open (the next run rebuilds it with whatever arrived since).  Otherwise it
// classifies the event and hands its code to the current state's step, which
// runs the action of the first test that holds and returns the state to go
// to: itself for an event it ignores, Leave after the call has ended, has
// been abandoned or is left open.  The error report lines of a step carry
// the state's name.
//
// A machine declares its states once, as a list macro X(name) in the order
// of their numbers; the enum, the step declarations and the table are made
// from that list with the TRAVIK_STATE_* macros below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "processing/calls/call_module.h"
#include "processing/calls/call_records.h"
#include "processing/calls/event_cursor.h"
#include "processing/calls/failure_codes.h"

namespace travik {

// Why a call is given up: the errors row of the call takes these.  Digits
// that do not matter to the failure stay empty and their counts 0.
struct Failure {
  Stage stage;
  Reason reason;
  std::string_view expectedDigits = "";
  std::string_view receivedDigits = "";
  std::int32_t expectedCount = 0;
  std::int32_t receivedCount = 0;
};

// What the frame and the shared steps need of a call being rebuilt.  Each
// machine's context derives from it and adds what only that machine keeps.
struct MachineCall {
  MachineCall(CallModule& module, void (*endTaskIncomplete)(CallModule&))
      : module(module), endTaskIncomplete(endTaskIncomplete) {}

  CallModule& module;
  // How the machine ends its open task when it gives the call up.
  void (*const endTaskIncomplete)(CallModule& module);
  // Name of the state being stepped (the frame sets it); error reports carry it.
  std::string_view state;
};

// One row of a machine's state table: the state's name and its step.
template <class Call>
struct StateRow {
  std::string_view name;
  typename Call::State (*step)(Call& call, int code);
};

// For a machine's state list: the enumerator, the step's declaration and the
// table row of state `name`.  The enum starts with Leave, so row i is state i + 1.
#define TRAVIK_STATE_ENUMERATOR(name) name,
#define TRAVIK_STATE_STEP(name) State name(Call& call, int code);
#define TRAVIK_STATE_ROW(name) {#name, &name},

// Runs `call` from state `first` until a step returns Leave or the events run out.
template <class Call>
void runMachine(Call& call, std::span<const StateRow<Call>> states, typename Call::State first) {
  using State = typename Call::State;
  CallModule& module = call.module;
  State state = first;
  while (state != State::Leave) {
    const StateRow<Call>& row = states[static_cast<std::size_t>(state) - 1];
    nextEvent(module);
    if (module.events.eof()) return;
    determineDatatype(module, currentData(module));
    call.state = row.name;
    state = row.step(call, module.dataType);
  }
}

// Word `index` of eventWords, reported under the state's name when missing
// (see eventWord and wordAt in call_module.h).
const std::string& eventWord(MachineCall& call, std::size_t index);
const std::string* wordAt(MachineCall& call, std::size_t index);

// Split, then the length of the digits (word 1) in characters.
std::int32_t splitDigits(MachineCall& call);

// Counter of the call row, in place.
inline void count(MachineCall& call, CallCounter counter, std::int32_t by = 1) {
  call.module.records.call().counters[counter] += by;
}

// callAbend with the failure.
void abandonCall(MachineCall& call, const Failure& failure);

// Gives the call up; the machine leaves.
template <class Call>
typename Call::State abandon(Call& call, const Failure& failure) {
  abandonCall(call, failure);
  return Call::State::Leave;
}

// Ends the open task incomplete, then gives the call up.
template <class Call>
typename Call::State abandonTask(Call& call, const Failure& failure) {
  call.endTaskIncomplete(call.module);
  return abandon(call, failure);
}

// The digit-count check of a digits event against `expected` digits: a
// complete string that decrypts is success (true).  A failure found by a look
// past the stored events leaves the call open; any other gives the call up
// at `stage` with the reason found; both return false.  With `endTaskFirst`
// the open task is ended incomplete before the call is given up.
bool digitCountCheck(MachineCall& call, std::int32_t expected, Stage stage, bool endTaskFirst);

}  // namespace travik
