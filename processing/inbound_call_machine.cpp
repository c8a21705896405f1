// The inbound call machine, frame and message reception: wake-up, line
// sync, session header, and one voice or fax message from its header to
// "Message Saved".
#include "processing/inbound_call_machine.h"

#include "processing/call_module.h"
#include "processing/event_classification.h"
#include "processing/inbound_call_machine_states.h"

namespace travik {

namespace inbound {

namespace ec = event_code;

bool readEvent(Call& call, int& code) {
  CallModule& module = call.module;
  nextEvent(module);
  if (module.events.eof()) return false;
  determineDatatype(module, currentData(module));
  code = module.dataType;
  return true;
}

std::int32_t splitDigits(Call& call, std::string_view state) {
  split(call.module);
  return static_cast<std::int32_t>(textLength(eventWord(call.module, 1, state)));
}

State abandon(Call& call, Stage stage, Reason reason, std::string_view expected, std::string_view received,
              std::int32_t expectedCount, std::int32_t receivedCount) {
  callAbend(call.module, stage, reason, expected, received, expectedCount, receivedCount);
  return State::Leave;
}

State abandonTask(Call& call, Stage stage, Reason reason, std::string_view expected, std::string_view received,
                  std::int32_t expectedCount, std::int32_t receivedCount) {
  endTask(call.module, false);
  return abandon(call, stage, reason, expected, received, expectedCount, receivedCount);
}

bool digitCountCheck(Call& call, std::string_view state, std::int32_t expected, Stage stage, bool endTaskFirst) {
  CallModule& module = call.module;
  const std::int32_t length = splitDigits(call, state);
  const std::optional<Reason> reason = digitCountFailure(module, length, expected);
  if (!reason) return true;
  if (module.lookAheadRanOut) return false;  // left open: the string may go on
  if (endTaskFirst) endTask(module, false);
  abandon(call, stage, *reason, "", "", expected, length);
  return false;
}

// State 1: waits for the wake-up "BD".
State CALL_RECEIVED_OK(Call& call) {
  constexpr std::string_view kState = "CALL_RECEIVED_OK";
  CallModule& module = call.module;
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kReceivedBD) return State::WAKEUP_RECEIVED_OK;
  if (containsIgnoringCase(currentData(module), "BD")) {
    // A "BD" event directly followed by "Playing CDD" is the wake-up too.
    EventCursor& events = module.events;
    guardCall(module, kState, [&] { events.moveNext(); });
    if (events.eof()) return State::Leave;
    determineDatatype(module, currentData(module));
    const bool cddFollows = module.dataType == ec::kPlayingCDD;
    guardCall(module, kState, [&] { events.movePrevious(); });
    return cddFollows ? State::WAKEUP_RECEIVED_OK : State::CALL_RECEIVED_OK;
  }
  if (code == ec::kReceivedCD) return abandon(call, Stage::WakeUp, Reason::CorvaneSerialUndefined, "BD", "CD", 2, 2);
  if (code == ec::kIncomingCallCompleted)
    return abandon(call, Stage::WakeUp, Reason::ExpectedDataNotReceived, "BD", "", 2, 0);
  return State::CALL_RECEIVED_OK;
}

// State 2: waits for 18 wake-up digits, joining digits that arrive split.
State WAKEUP_RECEIVED_OK(Call& call) {
  constexpr std::string_view kState = "WAKEUP_RECEIVED_OK";
  constexpr std::int32_t kWakeUpDigits = 18;
  CallModule& module = call.module;
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kReceivedBD) return State::WAKEUP_RECEIVED_OK;
  if (code == ec::kBdAfterCdd) return abandon(call, Stage::LineSync, Reason::BdAfterCdd, "", "BD", kWakeUpDigits, 2);
  if (code == ec::kReceivedDigits) {
    split(module);
    std::string digits = eventWord(module, 1, kState);
    while (true) {
      const auto length = static_cast<std::int32_t>(textLength(digits));
      if (length == kWakeUpDigits) return State::LINESYNC_RECEIVED_OK;
      if (length == kWakeUpDigits + 1) {
        if (upperCase(digits.substr(0, 3)) == "812") {
          call.wakeup812Received = true;
          return State::LINESYNC_RECEIVED_OK;
        }
        return abandon(call, Stage::LineSync, Reason::DtmfLongerThanExpected, "", "", kWakeUpDigits, length);
      }
      if (length > kWakeUpDigits)
        return abandon(call, Stage::LineSync, Reason::DtmfLongerThanExpected, "", "", kWakeUpDigits, length);
      std::optional<std::string> joined = getAdditionalDtmf(module, digits);
      // The rest of the digits may be in events not stored yet: the call stays open.
      if (!joined && module.lookAheadRanOut) return State::Leave;
      if (!joined)
        return abandon(call, Stage::LineSync, Reason::DtmfShorterThanExpected, "", "", kWakeUpDigits, length);
      digits = std::move(*joined);
      if (module.eventWords.size() > 1) module.eventWords[1] = digits;
    }
  }
  if (code == ec::kIncomingCallCompleted)
    return abandon(call, Stage::LineSync, Reason::ExpectedDataNotReceived, "", "", kWakeUpDigits, 0);
  return State::WAKEUP_RECEIVED_OK;
}

// State 3: the protocol level and 16 line-sync digits.
State LINESYNC_RECEIVED_OK(Call& call) {
  constexpr std::string_view kState = "LINESYNC_RECEIVED_OK";
  CallModule& module = call.module;
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kInitialHandshakeFailed)
    return abandon(call, Stage::LineSync, Reason::TargetNodeNotConfigured, "", "", 0, 0);
  if (code == ec::kProtocolLevel) {
    split(module);
    if (const std::string* level = wordAt(module, 3, kState)) module.records.call().protocollevel = *level;
    return State::LINESYNC_RECEIVED_OK;
  }
  if (code == ec::kReceivedDigits)
    return digitCountCheck(call, kState, 16, Stage::SessionHeader, false) ? State::SESSIONHEADER_RECEIVED_OK
                                                                          : State::Leave;
  if (code == ec::kIncomingCallCompleted) {
    if (call.wakeup812Received) return abandon(call, Stage::LineSync, Reason::DtmfLongerThanExpected, "", "", 18, 19);
    return abandon(call, Stage::SessionHeader, Reason::ExpectedDataNotReceived, "", "", 16, 0);
  }
  return State::LINESYNC_RECEIVED_OK;
}

// State 4: the node's serial numbers and a 36-digit message header.
State SESSIONHEADER_RECEIVED_OK(Call& call) {
  constexpr std::string_view kState = "SESSIONHEADER_RECEIVED_OK";
  constexpr std::int32_t kHeaderDigits = 36;
  CallModule& module = call.module;
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kNotConfiguredOnVarnel) {
    split(module);
    if (const std::string* octel = wordAt(module, 7, kState)) module.records.call().octelserialnumber = *octel;
    return abandon(call, Stage::SessionHeader, Reason::CallingSerialNotConfigured, "", "", 0, 0);
  }
  if (code == ec::kCallReceivedFromSerial) {
    split(module);
    if (const std::string* octel = wordAt(module, 5, kState)) module.records.call().octelserialnumber = *octel;
    if (const std::string* corvane = wordAt(module, 9, kState)) module.records.call().corvaneserialnumber = *corvane;
    return State::SESSIONHEADER_RECEIVED_OK;
  }
  if (code == ec::kReceivedDigits || code == ec::kReceived9) {
    // "Received 9" carries one digit: a header cut short.
    const std::int32_t length = splitDigits(call, kState);
    if (length == 18) return abandon(call, Stage::AdminResponse, Reason::AdminNamePushRejected, "", "", 0, length);
    return digitCountCheck(call, kState, kHeaderDigits, Stage::MessageHeader, false) ? State::MESSAGEHEADER_RECEIVED_OK
                                                                                     : State::Leave;
  }
  if (code == ec::kIncomingCallCompleted)
    return abandon(call, Stage::MessageHeader, Reason::ExpectedDataNotReceived, "", "", kHeaderDigits, 0);
  return State::SESSIONHEADER_RECEIVED_OK;
}

// State 5: a new message, an admin request, or the end of the call.
State MESSAGEHEADER_RECEIVED_OK(Call& call) {
  constexpr std::string_view kState = "MESSAGEHEADER_RECEIVED_OK";
  CallModule& module = call.module;
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kNewMessageFromMailbox) {
    startTask(module);
    module.records.task().tasktype = "Voice Message";
    count(call, kMsgReceiveAttempt);
    count(call, kNumberRecipientsSent);
    split(module);
    if (const std::string* sender = wordAt(module, 4, kState)) module.records.task().sender = *sender;
    addRecipientFromWord(module, wordAt(module, 7, kState), false);
    return State::MESSAGEINFO_RECEIVED_OK;
  }
  if (code == ec::kReceivedDigits)
    return digitCountCheck(call, kState, 22, Stage::AdminRequest, false) ? State::GENERICADMINREQUEST_RECEIVED_OK
                                                                         : State::Leave;
  if (code == ec::kIncomingCallCompleted) {
    callEnd(module);
    return State::Leave;
  }
  return State::MESSAGEHEADER_RECEIVED_OK;
}

// State 6: text-name confirmations until the recording is complete.
State MESSAGEINFO_RECEIVED_OK(Call& call) {
  constexpr std::string_view kState = "MESSAGEINFO_RECEIVED_OK";
  constexpr std::int32_t kConfirmationDigits = 46;
  CallModule& module = call.module;
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kRecordingCompleted) return State::RECORDING_COMPLETED_OK;
  if (code == ec::kReceivedDigits) {
    const std::int32_t length = splitDigits(call, kState);
    if (length == 36) {
      // A message header instead of a confirmation: the node refused this recipient.
      module.records.recipient().rejected = true;
      count(call, kNumberRecipientsSent, -1);
      endTask(module, true);
      return State::MESSAGEHEADER_RECEIVED_OK;
    }
    Reason reason = Reason::DtmfLongerThanExpected;
    if (length == kConfirmationDigits) {
      if (decryptOk(module)) return State::MESSAGEINFO_RECEIVED_OK;
      reason = Reason::InvalidData;
    } else if (length < kConfirmationDigits) {
      const bool more = checkForAdditionalDtmf(module);
      if (module.lookAheadRanOut) return State::Leave;
      reason = more ? Reason::InterdigitTimeout : Reason::DtmfShorterThanExpected;
    }
    incompleteRecipientNameInfo(module);
    return abandonTask(call, Stage::TextNameConfirmation, reason, "", "", kConfirmationDigits, length);
  }
  if (code == ec::kIncomingCallCompleted) {
    incompleteMessageRecipient(module);
    return abandonTask(call, Stage::Recording, Reason::Unknown, "", "", 0, 0);
  }
  return State::MESSAGEINFO_RECEIVED_OK;
}

// State 7: the "#" that ends the recording.
State RECORDING_COMPLETED_OK(Call& call) {
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kReceivedPound) return State::RECEIVEDPOUND_OK;
  if (code == ec::kIncomingCallCompleted) {
    incompleteMessageRecipient(call.module);
    return abandonTask(call, Stage::AudioTerminator, Reason::ExpectedDataNotReceived, "#", "", 1, 0);
  }
  return State::RECORDING_COMPLETED_OK;
}

// State 8: "Received 9" saves the message; "Playing 7" announces a fax.
State RECEIVEDPOUND_OK(Call& call) {
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kReceived9) {
    count(call, kMsgReceiveSuccess);
    return State::RECEIVEDNINE_OK;
  }
  if (code == ec::kPlaying7) {
    call.module.records.task().fax = true;
    return State::RECEIVING_INBOUND_FAX;
  }
  if (code == ec::kIncomingCallCompleted) {
    incompleteMessageRecipient(call.module);
    return abandonTask(call, Stage::SaveResponse, Reason::ExpectedDataNotReceived, "9", "", 1, 0);
  }
  return State::RECEIVEDPOUND_OK;
}

// State 9: the fax pages until "Receiving Fax complete".
State RECEIVING_INBOUND_FAX(Call& call) {
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kReceivingFax || code == ec::kReceivingFaxFile) return State::RECEIVING_INBOUND_FAX;
  if (code == ec::kReceivingFaxComplete) return State::RECEIVEDPOUND_OK;
  if (code == ec::kIncomingCallCompleted) {
    incompleteMessageRecipient(call.module);
    return abandonTask(call, Stage::FaxTransmission, Reason::NoEndOfFax, "", "", 0, 0);
  }
  return State::RECEIVING_INBOUND_FAX;
}

// State 10: "Message Saved", or the header of an additional recipient.
State RECEIVEDNINE_OK(Call& call) {
  constexpr std::string_view kState = "RECEIVEDNINE_OK";
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kMessageSaved) {
    endTask(call.module, true);
    return State::SESSIONHEADER_RECEIVED_OK;
  }
  if (code == ec::kReceivedDigits)
    return digitCountCheck(call, kState, 24, Stage::AdditionalRecipientHeader, true) ? State::ADDITIONAL_RECIPIENT
                                                                                     : State::Leave;
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, Stage::MessageResponse, Reason::Unknown, "", "", 0, 0);
  return State::RECEIVEDNINE_OK;
}

namespace {

State run(Call& call, State state) {
  switch (state) {
    case State::Leave: return State::Leave;
    case State::CALL_RECEIVED_OK: return CALL_RECEIVED_OK(call);
    case State::WAKEUP_RECEIVED_OK: return WAKEUP_RECEIVED_OK(call);
    case State::LINESYNC_RECEIVED_OK: return LINESYNC_RECEIVED_OK(call);
    case State::SESSIONHEADER_RECEIVED_OK: return SESSIONHEADER_RECEIVED_OK(call);
    case State::MESSAGEHEADER_RECEIVED_OK: return MESSAGEHEADER_RECEIVED_OK(call);
    case State::MESSAGEINFO_RECEIVED_OK: return MESSAGEINFO_RECEIVED_OK(call);
    case State::RECORDING_COMPLETED_OK: return RECORDING_COMPLETED_OK(call);
    case State::RECEIVEDPOUND_OK: return RECEIVEDPOUND_OK(call);
    case State::RECEIVING_INBOUND_FAX: return RECEIVING_INBOUND_FAX(call);
    case State::RECEIVEDNINE_OK: return RECEIVEDNINE_OK(call);
    case State::ADDITIONAL_RECIPIENT: return ADDITIONAL_RECIPIENT(call);
    case State::GENERICADMINREQUEST_RECEIVED_OK: return GENERICADMINREQUEST_RECEIVED_OK(call);
    case State::PROCESS_NAME_PUSH: return PROCESS_NAME_PUSH(call);
    case State::AWAIT_PUSH_ALIAS: return AWAIT_PUSH_ALIAS(call);
    case State::PUSH_READ_ALIAS_RESPONSE: return PUSH_READ_ALIAS_RESPONSE(call);
    case State::AWAIT_PUSH_ASCII: return AWAIT_PUSH_ASCII(call);
    case State::READ_PUSHED_TEXT_NAME: return READ_PUSHED_TEXT_NAME(call);
    case State::PUSH_TEXT_ONLY_FINISH: return PUSH_TEXT_ONLY_FINISH(call);
    case State::PUSH_AWAIT_RECORDED_NAME: return PUSH_AWAIT_RECORDED_NAME(call);
    case State::PUSH_AWAIT_RECORDING_DONE: return PUSH_AWAIT_RECORDING_DONE(call);
    case State::PUSH_RECORDING_COMPLETE: return PUSH_RECORDING_COMPLETE(call);
    case State::PROCESS_TEXT_NAME_SEND: return PROCESS_TEXT_NAME_SEND(call);
    case State::PROCESS_VOICE_NAME_SEND: return PROCESS_VOICE_NAME_SEND(call);
    case State::WAIT_FOR_POUND_SEND: return WAIT_FOR_POUND_SEND(call);
    case State::FINISH_NAME_SEND: return FINISH_NAME_SEND(call);
  }
  return State::Leave;
}

}  // namespace

}  // namespace inbound

void processInboundCall(CallModule& module) {
  inbound::Call call{module};
  clearCallStats(module);
  inbound::State state = inbound::State::CALL_RECEIVED_OK;
  while (state != inbound::State::Leave) state = inbound::run(call, state);
}

}  // namespace travik
