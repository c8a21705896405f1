// The outbound call machine, frame and call set-up: the dial result, the
// wake-up response, line sync and session header up to the point where the
// node's serial numbers are known.
//
// The frame is shared by all thirty states: a pass reads one event, leaves
// the call open at the end of the events, and otherwise runs the first test
// of the state's table that holds.  Every state but the first ends its table
// with the call-ending group.
#include "processing/outbound_call_machine.h"

#include <limits>

#include "processing/call_module.h"
#include "processing/event_classification.h"
#include "processing/handled_error.h"
#include "processing/number_text.h"
#include "processing/outbound_call_machine_states.h"

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

bool readEvent(CallModule& module, int& code) {
  nextEvent(module);
  if (module.events.eof()) return false;
  determineDatatype(module, currentData(module));
  code = module.dataType;
  return true;
}

bool callEnding(CallModule& module, int code, std::string_view state) {
  if (code != ec::kCallOutCompleted && code != ec::kProcessingMessagesDone && code != ec::kCallStatus) return false;
  if (code == ec::kCallStatus) guardCall(module, state, [&] { module.events.movePrevious(); });
  return true;
}

std::int32_t splitDigits(CallModule& module, std::string_view state) {
  split(module);
  return static_cast<std::int32_t>(textLength(eventWord(module, 1, state)));
}

std::optional<int> responseCode(CallModule& module, std::string_view state) {
  split(module);
  const std::string* word = wordAt(module, 3, state);
  if (!word) return std::nullopt;
  std::optional<int> code;
  guardCall(module, state, [&] { code = toInteger16(*word); });
  return code;
}

void endOpenTask(CallModule& module, bool complete) {
  if (const TaskRow* task = module.records.currentTask(); task && task->timestampend) return;
  endTask(module, complete);
}

State abandon(CallModule& module, Stage stage, Reason reason, std::string_view expected, std::string_view received,
              std::int32_t expectedCount, std::int32_t receivedCount) {
  callAbend(module, stage, reason, expected, received, expectedCount, receivedCount);
  return State::Leave;
}

State abandonTask(CallModule& module, Stage stage, Reason reason, std::string_view expected, std::string_view received,
                  std::int32_t expectedCount, std::int32_t receivedCount) {
  endOpenTask(module, false);
  return abandon(module, stage, reason, expected, received, expectedCount, receivedCount);
}

State abandonMessage(CallModule& module, Stage stage, Reason reason, std::string_view expected,
                     std::string_view received, std::int32_t expectedCount, std::int32_t receivedCount) {
  incompleteMessageRecipient(module);
  return abandonTask(module, stage, reason, expected, received, expectedCount, receivedCount);
}

bool digitCountCheck(CallModule& module, std::string_view state, std::int32_t expected, Stage stage,
                     bool endTaskFirst) {
  const std::int32_t length = splitDigits(module, state);
  const std::optional<Reason> reason = digitCountFailure(module, length, expected);
  if (!reason) return true;
  if (module.lookAheadRanOut) return false;  // left open: the string may go on
  if (endTaskFirst) endOpenTask(module, false);
  abandon(module, stage, *reason, "", "", expected, length);
  return false;
}

// State 1: waits for the dial result.  It has no call-ending group: a
// "Call Status =" event carries the dial result and a "Done" line is ignored.
State CALL_OUT_INITIATED(CallModule& module) {
  constexpr std::string_view kState = "CALL_OUT_INITIATED";
  int code = 0;
  if (!readEvent(module, code)) return State::Leave;

  if (code == ec::kProcessingMessagesFromNode) {
    split(module);
    if (const std::string* corvane = wordAt(module, 4, kState)) module.records.call().corvaneserialnumber = *corvane;
    if (const std::string* octel = wordAt(module, 7, kState)) module.records.call().octelserialnumber = *octel;
    return State::CALL_OUT_INITIATED;
  }
  if (code == ec::kCallStatus) {
    split(module);
    const std::string* result = wordAt(module, 3, kState);
    // A dial result that cannot be read counts as an answer: the call goes on.
    if (!result || *result == "Answer") return State::CALL_ANSWER_OK;
    if (*result == "Busy") return abandon(module, Stage::Dialing, Reason::Busy, "", "", 0, 0);
    if (*result == "Ring") return abandon(module, Stage::Dialing, Reason::RingNoAnswer, "", "", 0, 0);
    if (*result == "SIT") return abandon(module, Stage::Dialing, Reason::OutOfService, "", "", 0, 0);
    if (*result == "Line") return abandon(module, Stage::Dialing, Reason::LineError, "", "", 0, 0);
    // Any other result: the call stays open and the next run rebuilds it.
    return State::Leave;
  }
  if (code == ec::kNoMessagesToDeliver || code == ec::kNoNamesToRetrieve) {
    callEndNoMessages(module);
    return State::Leave;
  }
  if (code == ec::kCallOutCompleted)
    return abandon(module, Stage::CallOutProcessInitiated, Reason::Unknown, "", "", 0, 0);
  return State::CALL_OUT_INITIATED;
}

// State 2: waits for the node's "CDD".
State CALL_ANSWER_OK(CallModule& module) {
  constexpr std::string_view kState = "CALL_ANSWER_OK";
  int code = 0;
  if (!readEvent(module, code)) return State::Leave;

  if (code == ec::kReceivedCDD) return State::WAKEUPRESPONSE_RECEIVED_OK;
  if (containsCdd(currentData(module))) {
    // Another "CDD" line directly followed by a played digit string is the wake-up too.
    EventCursor& events = module.events;
    guardCall(module, kState, [&] { events.moveNext(); });
    if (events.eof()) return State::Leave;
    determineDatatype(module, currentData(module));
    const bool digitsPlayed = module.dataType == ec::kPlayingLong;
    guardCall(module, kState, [&] { events.movePrevious(); });
    return digitsPlayed ? State::WAKEUPRESPONSE_RECEIVED_OK : State::CALL_ANSWER_OK;
  }
  if (callEnding(module, code, kState))
    return abandon(module, Stage::WakeUpResponse, Reason::ExpectedDataNotReceived, "CDD", "", 3, 0);
  return State::CALL_ANSWER_OK;
}

// State 3: waits for 14 digits, joining digits that arrive split.
State WAKEUPRESPONSE_RECEIVED_OK(CallModule& module) {
  constexpr std::string_view kState = "WAKEUPRESPONSE_RECEIVED_OK";
  constexpr std::int32_t kWakeUpResponseDigits = 14;
  int code = 0;
  if (!readEvent(module, code)) return State::Leave;

  if (code == ec::kReceivedDigits) {
    split(module);
    std::string digits = eventWord(module, 1, kState);
    while (true) {
      const auto length = static_cast<std::int32_t>(textLength(digits));
      if (length == kWakeUpResponseDigits) return State::LINESYNCRESPONSE_RECEIVED_OK;
      if (length > kWakeUpResponseDigits)
        return abandon(module, Stage::LineSyncResponse, Reason::DtmfLongerThanExpected, "", "", kWakeUpResponseDigits,
                       length);
      std::optional<std::string> joined = getAdditionalDtmf(module, digits);
      // The rest of the digits may be in events not stored yet: the call stays open.
      if (!joined && module.lookAheadRanOut) return State::Leave;
      if (!joined)
        return abandon(module, Stage::LineSyncResponse, Reason::DtmfShorterThanExpected, "", "", kWakeUpResponseDigits,
                       length);
      digits = std::move(*joined);
      if (module.eventWords.size() > 1) module.eventWords[1] = digits;
    }
  }
  if (callEnding(module, code, kState))
    return abandon(module, Stage::LineSyncResponse, Reason::ExpectedDataNotReceived, "", "", kWakeUpResponseDigits, 0);
  return State::WAKEUPRESPONSE_RECEIVED_OK;
}

// State 4: the protocol level and 16 line-sync response digits.
State LINESYNCRESPONSE_RECEIVED_OK(CallModule& module) {
  constexpr std::string_view kState = "LINESYNCRESPONSE_RECEIVED_OK";
  constexpr std::int32_t kLineSyncResponseDigits = 16;
  int code = 0;
  if (!readEvent(module, code)) return State::Leave;

  if (code == ec::kProtocolLevel) {
    split(module);
    if (const std::string* level = wordAt(module, 3, kState)) module.records.call().protocollevel = *level;
    return State::LINESYNCRESPONSE_RECEIVED_OK;
  }
  if (code == ec::kReceivedDigits)
    return digitCountCheck(module, kState, kLineSyncResponseDigits, Stage::SessionHeaderResponse, false)
               ? State::SESSIONHEADERRESPONSE_RECEIVED_OK
               : State::Leave;
  if (callEnding(module, code, kState))
    return abandon(module, Stage::SessionHeaderResponse, Reason::ExpectedDataNotReceived, "", "",
                   kLineSyncResponseDigits, 0);
  return State::LINESYNCRESPONSE_RECEIVED_OK;
}

// State 5: the session is up once both sides are named.
State SESSIONHEADERRESPONSE_RECEIVED_OK(CallModule& module) {
  constexpr std::string_view kState = "SESSIONHEADERRESPONSE_RECEIVED_OK";
  int code = 0;
  if (!readEvent(module, code)) return State::Leave;

  if (code == ec::kCallEstablishedFromSerial) {
    split(module);
    if (const std::string* corvane = wordAt(module, 5, kState)) module.records.call().corvaneserialnumber = *corvane;
    if (const std::string* octel = wordAt(module, 9, kState)) module.records.call().octelserialnumber = *octel;
    return State::WAIT_FOR_MESSAGE_HEADER_RESPONSE;
  }
  if (callEnding(module, code, kState)) return abandon(module, Stage::MessageHeader, Reason::Unknown, "", "", 0, 0);
  return State::SESSIONHEADERRESPONSE_RECEIVED_OK;
}

namespace {

State run(CallModule& module, State state) {
  switch (state) {
    case State::Leave: return State::Leave;
    case State::CALL_OUT_INITIATED: return CALL_OUT_INITIATED(module);
    case State::CALL_ANSWER_OK: return CALL_ANSWER_OK(module);
    case State::WAKEUPRESPONSE_RECEIVED_OK: return WAKEUPRESPONSE_RECEIVED_OK(module);
    case State::LINESYNCRESPONSE_RECEIVED_OK: return LINESYNCRESPONSE_RECEIVED_OK(module);
    case State::SESSIONHEADERRESPONSE_RECEIVED_OK: return SESSIONHEADERRESPONSE_RECEIVED_OK(module);
    case State::WAIT_FOR_MESSAGE_HEADER_RESPONSE: return WAIT_FOR_MESSAGE_HEADER_RESPONSE(module);
    case State::MESSAGEHEADERRESPONSE_RECEIVED_OK: return MESSAGEHEADERRESPONSE_RECEIVED_OK(module);
    case State::COULD_NOT_SEND_MESSAGE: return COULD_NOT_SEND_MESSAGE(module);
    case State::MESSAGE_NOT_DELIVERED: return MESSAGE_NOT_DELIVERED(module);
    case State::SENDING_MESSAGE: return SENDING_MESSAGE(module);
    case State::AUDIO_PLAY_COMPLETE: return AUDIO_PLAY_COMPLETE(module);
    case State::RECEIVED_EIGHT: return RECEIVED_EIGHT(module);
    case State::SAVE_RESPONSE_OK: return SAVE_RESPONSE_OK(module);
    case State::SEND_ADDITIONAL_RECIPIENTS: return SEND_ADDITIONAL_RECIPIENTS(module);
    case State::WAIT_FOR_ADD_RECIPIENT_RESPONSE: return WAIT_FOR_ADD_RECIPIENT_RESPONSE(module);
    case State::ADDRESS_ADDITIONAL_RECIPIENTS: return ADDRESS_ADDITIONAL_RECIPIENTS(module);
    case State::SENDING_OUTBOUND_FAX: return SENDING_OUTBOUND_FAX(module);
    case State::WAIT_FOR_OUTBOUND_FAX_COMPLETE: return WAIT_FOR_OUTBOUND_FAX_COMPLETE(module);
    case State::CHECKING_FOR_NAME_MATCH: return CHECKING_FOR_NAME_MATCH(module);
    case State::CHECKING_FOR_ADD_NAME_MATCH: return CHECKING_FOR_ADD_NAME_MATCH(module);
    case State::POST_NAME_MATCH: return POST_NAME_MATCH(module);
    case State::POST_ADD_NAME_MATCH: return POST_ADD_NAME_MATCH(module);
    case State::RETRIEVING_NAME: return RETRIEVING_NAME(module);
    case State::PROCESS_RETRIEVED_TEXT_NAME: return PROCESS_RETRIEVED_TEXT_NAME(module);
    case State::GET_NEXT_NAME: return GET_NEXT_NAME(module);
    case State::RECORDING_VOICE_NAME: return RECORDING_VOICE_NAME(module);
    case State::END_OF_VOICE_NAME_RECORD: return END_OF_VOICE_NAME_RECORD(module);
    case State::GET_NEXT_NAME_AFTER_RECORD: return GET_NEXT_NAME_AFTER_RECORD(module);
    case State::COMPLETED_DELIVERING_MESSAGES: return COMPLETED_DELIVERING_MESSAGES(module);
    case State::COMPLETED_RETRIEVING_NAMES: return COMPLETED_RETRIEVING_NAMES(module);
  }
  return State::Leave;
}

}  // namespace

}  // namespace outbound

void runOutboundCall(CallModule& module) {
  clearCallStats(module);
  CallRow& call = module.records.call();
  call.octelserialnumber = module.pendingOctelSerial;
  call.corvaneserialnumber = module.pendingCorvaneSerial;
  outbound::State state = outbound::State::CALL_OUT_INITIATED;
  while (state != outbound::State::Leave) state = outbound::run(module, state);
}

}  // namespace travik
