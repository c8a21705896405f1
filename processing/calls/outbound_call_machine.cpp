// The outbound call machine, entry and call set-up: the dial result, the
// wake-up response, line sync and session header up to the point where the
// node's serial numbers are known.  Every state but the first ends its
// tests with the call-ending group.
#include "processing/calls/outbound_call_machine.h"

#include <limits>

#include "processing/calls/call_module.h"
#include "processing/calls/event_classification.h"
#include "processing/calls/outbound_call_machine_states.h"
#include "processing/runtime/handled_error.h"
#include "processing/text/number_text.h"

namespace travik {

namespace outbound {

namespace ec = event_code;

namespace {

// Whether `text` holds "CDD" in any letter case.
bool containsCdd(std::string_view text) {
  for (std::size_t i = 0; i + 3 <= text.size(); ++i) {
    if ((text[i] == 'C' || text[i] == 'c') && (text[i + 1] == 'D' || text[i + 1] == 'd') &&
        (text[i + 2] == 'D' || text[i + 2] == 'd'))
      return true;
  }
  return false;
}

// A word as a 16-bit whole number: a decimal number rounded half to even
// ("13.4" is 13); a word that is no number does not convert.
int toInteger16(std::string_view word) {
  const std::optional<double> rounded = roundedWholeNumber(word);
  if (!rounded) throw HandledError(error_number::kTypeMismatch, "Type mismatch");
  if (*rounded < std::numeric_limits<std::int16_t>::min() || *rounded > std::numeric_limits<std::int16_t>::max())
    throw HandledError(error_number::kOverflow, "Overflow");
  return static_cast<int>(*rounded);
}

}  // namespace

bool callEnding(Call& call, int code) {
  if (code != ec::kCallOutCompleted && code != ec::kProcessingMessagesDone && code != ec::kCallStatus) return false;
  if (code == ec::kCallStatus) guardCall(call.module, call.state, [&] { call.module.events.movePrevious(); });
  return true;
}

std::optional<int> responseCode(Call& call) {
  split(call.module);
  const std::string* word = wordAt(call, 3);
  if (!word) return std::nullopt;
  std::optional<int> code;
  guardCall(call.module, call.state, [&] { code = toInteger16(*word); });
  return code;
}

void endOpenTask(CallModule& module, bool complete) {
  if (const TaskRow* task = module.records.currentTask(); task && task->timestampend) return;
  endTask(module, complete);
}

State abandonMessage(Call& call, const Failure& failure) {
  incompleteMessageRecipient(call.module);
  return abandonTask(call, failure);
}

// Waits for the dial result.  It has no call-ending group: a
// "Call Status =" event carries the dial result and a "Done" line is ignored.
State CALL_OUT_INITIATED(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kProcessingMessagesFromNode) {
    split(module);
    if (const std::string* corvane = wordAt(call, 4)) module.records.call().corvaneserialnumber = *corvane;
    if (const std::string* octel = wordAt(call, 7)) module.records.call().octelserialnumber = *octel;
    return State::CALL_OUT_INITIATED;
  }
  if (code == ec::kCallStatus) {
    split(module);
    const std::string* result = wordAt(call, 3);
    // A dial result that cannot be read counts as an answer: the call goes on.
    if (!result || *result == "Answer") return State::CALL_ANSWER_OK;
    if (*result == "Busy") return abandon(call, {.stage = Stage::Dialing, .reason = Reason::Busy});
    if (*result == "Ring") return abandon(call, {.stage = Stage::Dialing, .reason = Reason::RingNoAnswer});
    if (*result == "SIT") return abandon(call, {.stage = Stage::Dialing, .reason = Reason::OutOfService});
    if (*result == "Line") return abandon(call, {.stage = Stage::Dialing, .reason = Reason::LineError});
    // Any other result: the call stays open and the next run rebuilds it.
    return State::Leave;
  }
  if (code == ec::kNoMessagesToDeliver || code == ec::kNoNamesToRetrieve) {
    callEndNoMessages(module);
    return State::Leave;
  }
  if (code == ec::kCallOutCompleted)
    return abandon(call, {.stage = Stage::CallOutProcessInitiated, .reason = Reason::Unknown});
  return State::CALL_OUT_INITIATED;
}

// Waits for the node's "CDD".
State CALL_ANSWER_OK(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kReceivedCDD) return State::WAKEUPRESPONSE_RECEIVED_OK;
  if (containsCdd(currentData(module))) {
    // Another "CDD" line directly followed by a played digit string is the wake-up too.
    EventCursor& events = module.events;
    guardCall(module, call.state, [&] { events.moveNext(); });
    if (events.eof()) return State::Leave;
    determineDatatype(module, currentData(module));
    const bool digitsPlayed = module.dataType == ec::kPlayingLong;
    guardCall(module, call.state, [&] { events.movePrevious(); });
    return digitsPlayed ? State::WAKEUPRESPONSE_RECEIVED_OK : State::CALL_ANSWER_OK;
  }
  if (callEnding(call, code))
    return abandon(call, {.stage = Stage::WakeUpResponse,
                          .reason = Reason::ExpectedDataNotReceived,
                          .expectedDigits = "CDD",
                          .expectedCount = 3});
  return State::CALL_ANSWER_OK;
}

// Waits for 14 digits, joining digits that arrive split.
State WAKEUPRESPONSE_RECEIVED_OK(Call& call, int code) {
  CallModule& module = call.module;
  constexpr std::int32_t kWakeUpResponseDigits = 14;
  if (code == ec::kReceivedDigits) {
    split(module);
    std::string digits = eventWord(call, 1);
    while (true) {
      const auto length = static_cast<std::int32_t>(textLength(digits));
      if (length == kWakeUpResponseDigits) return State::LINESYNCRESPONSE_RECEIVED_OK;
      if (length > kWakeUpResponseDigits)
        return abandon(call, {.stage = Stage::LineSyncResponse,
                              .reason = Reason::DtmfLongerThanExpected,
                              .expectedCount = kWakeUpResponseDigits,
                              .receivedCount = length});
      std::optional<std::string> joined = getAdditionalDtmf(module, digits);
      // The rest of the digits may be in events not stored yet: the call stays open.
      if (!joined && module.lookAheadRanOut) return State::Leave;
      if (!joined)
        return abandon(call, {.stage = Stage::LineSyncResponse,
                              .reason = Reason::DtmfShorterThanExpected,
                              .expectedCount = kWakeUpResponseDigits,
                              .receivedCount = length});
      digits = std::move(*joined);
      if (module.eventWords.size() > 1) module.eventWords[1] = digits;
    }
  }
  if (callEnding(call, code))
    return abandon(call, {.stage = Stage::LineSyncResponse,
                          .reason = Reason::ExpectedDataNotReceived,
                          .expectedCount = kWakeUpResponseDigits});
  return State::WAKEUPRESPONSE_RECEIVED_OK;
}

// The protocol level and 16 line-sync response digits.
State LINESYNCRESPONSE_RECEIVED_OK(Call& call, int code) {
  CallModule& module = call.module;
  constexpr std::int32_t kLineSyncResponseDigits = 16;
  if (code == ec::kProtocolLevel) {
    split(module);
    if (const std::string* level = wordAt(call, 3)) module.records.call().protocollevel = *level;
    return State::LINESYNCRESPONSE_RECEIVED_OK;
  }
  if (code == ec::kReceivedDigits)
    return digitCountCheck(call, kLineSyncResponseDigits, Stage::SessionHeaderResponse, false)
               ? State::SESSIONHEADERRESPONSE_RECEIVED_OK
               : State::Leave;
  if (callEnding(call, code))
    return abandon(call, {.stage = Stage::SessionHeaderResponse,
                          .reason = Reason::ExpectedDataNotReceived,
                          .expectedCount = kLineSyncResponseDigits});
  return State::LINESYNCRESPONSE_RECEIVED_OK;
}

// The session is up once both sides are named.
State SESSIONHEADERRESPONSE_RECEIVED_OK(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kCallEstablishedFromSerial) {
    split(module);
    if (const std::string* corvane = wordAt(call, 5)) module.records.call().corvaneserialnumber = *corvane;
    if (const std::string* octel = wordAt(call, 9)) module.records.call().octelserialnumber = *octel;
    return State::WAIT_FOR_MESSAGE_HEADER_RESPONSE;
  }
  if (callEnding(call, code)) return abandon(call, {.stage = Stage::MessageHeader, .reason = Reason::Unknown});
  return State::SESSIONHEADERRESPONSE_RECEIVED_OK;
}

}  // namespace outbound

void runOutboundCall(CallModule& module) {
  clearCallStats(module);
  CallRow& call = module.records.call();
  call.octelserialnumber = module.pendingOctelSerial;
  call.corvaneserialnumber = module.pendingCorvaneSerial;
  outbound::Call machine(module);
  runMachine<outbound::Call>(machine, outbound::kStates, outbound::State::CALL_OUT_INITIATED);
}

}  // namespace travik
