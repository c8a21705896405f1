// The states of the inbound call machine, shared by its two source files:
// inbound_call_machine.cpp holds the frame and the message reception
// (states 1 to 10), inbound_call_machine_admin.cpp the additional
// recipients, admin requests and name transfers (states 11 to 25).
//
// Each state is a function named after the state.  It reads one event
// (nextEvent; the call is left open at the end of the events), classifies
// it, runs the action of the first test that holds and returns the state to
// go to: itself for an event it ignores, Leave after the call has ended or
// been abandoned.  Error report lines of a state carry the state's name.
#pragma once

#include <cstdint>
#include <string_view>

#include "processing/call_module.h"
#include "processing/failure_codes.h"

namespace travik::inbound {

enum class State {
  Leave,
  CALL_RECEIVED_OK,
  WAKEUP_RECEIVED_OK,
  LINESYNC_RECEIVED_OK,
  SESSIONHEADER_RECEIVED_OK,
  MESSAGEHEADER_RECEIVED_OK,
  MESSAGEINFO_RECEIVED_OK,
  RECORDING_COMPLETED_OK,
  RECEIVEDPOUND_OK,
  RECEIVING_INBOUND_FAX,
  RECEIVEDNINE_OK,
  ADDITIONAL_RECIPIENT,
  GENERICADMINREQUEST_RECEIVED_OK,
  PROCESS_NAME_PUSH,
  AWAIT_PUSH_ALIAS,
  PUSH_READ_ALIAS_RESPONSE,
  AWAIT_PUSH_ASCII,
  READ_PUSHED_TEXT_NAME,
  PUSH_TEXT_ONLY_FINISH,
  PUSH_AWAIT_RECORDED_NAME,
  PUSH_AWAIT_RECORDING_DONE,
  PUSH_RECORDING_COMPLETE,
  PROCESS_TEXT_NAME_SEND,
  PROCESS_VOICE_NAME_SEND,
  WAIT_FOR_POUND_SEND,
  FINISH_NAME_SEND,
};

// One inbound call being rebuilt.
struct Call {
  CallModule& module;
  // The wake-up digits were 19 long and began "812".
  bool wakeup812Received = false;
};

// The first steps of every pass: nextEvent, then false at the end of the
// events (leave, the call stays open); otherwise the event is classified and
// its code returned through `code`.
bool readEvent(Call& call, int& code);

// Split, then the length of the digits (word 1) in characters.
std::int32_t splitDigits(Call& call, std::string_view state);

// callAbend with the stage's and reason's texts; the machine leaves after it.
State abandon(Call& call, Stage stage, Reason reason, std::string_view expected, std::string_view received,
              std::int32_t expectedCount, std::int32_t receivedCount);

// Ends the open task incomplete, then abandons.
State abandonTask(Call& call, Stage stage, Reason reason, std::string_view expected, std::string_view received,
                  std::int32_t expectedCount, std::int32_t receivedCount);

// The digit-count check of a digits event against `expected` digits: the
// right length with decryptOk is success (true); otherwise the call is
// abandoned at `stage` (reason 8, 16 or 7, or 6) and false returned.  With
// `endTaskFirst` the open task is ended incomplete before the abandonment,
// after the look ahead.
bool digitCountCheck(Call& call, std::string_view state, std::int32_t expected, Stage stage, bool endTaskFirst);

// Counter of the call row, in place.
inline void count(Call& call, CallCounter counter, std::int32_t by = 1) {
  call.module.records.call().counters[counter] += by;
}

State CALL_RECEIVED_OK(Call& call);
State WAKEUP_RECEIVED_OK(Call& call);
State LINESYNC_RECEIVED_OK(Call& call);
State SESSIONHEADER_RECEIVED_OK(Call& call);
State MESSAGEHEADER_RECEIVED_OK(Call& call);
State MESSAGEINFO_RECEIVED_OK(Call& call);
State RECORDING_COMPLETED_OK(Call& call);
State RECEIVEDPOUND_OK(Call& call);
State RECEIVING_INBOUND_FAX(Call& call);
State RECEIVEDNINE_OK(Call& call);
State ADDITIONAL_RECIPIENT(Call& call);
State GENERICADMINREQUEST_RECEIVED_OK(Call& call);
State PROCESS_NAME_PUSH(Call& call);
State AWAIT_PUSH_ALIAS(Call& call);
State PUSH_READ_ALIAS_RESPONSE(Call& call);
State AWAIT_PUSH_ASCII(Call& call);
State READ_PUSHED_TEXT_NAME(Call& call);
State PUSH_TEXT_ONLY_FINISH(Call& call);
State PUSH_AWAIT_RECORDED_NAME(Call& call);
State PUSH_AWAIT_RECORDING_DONE(Call& call);
State PUSH_RECORDING_COMPLETE(Call& call);
State PROCESS_TEXT_NAME_SEND(Call& call);
State PROCESS_VOICE_NAME_SEND(Call& call);
State WAIT_FOR_POUND_SEND(Call& call);
State FINISH_NAME_SEND(Call& call);

}  // namespace travik::inbound
