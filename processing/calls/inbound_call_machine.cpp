// The inbound call machine, entry and message reception: wake-up, line
// sync, session header, and one voice or fax message from its header to
// "Message Saved".
#include "processing/calls/inbound_call_machine.h"

#include "processing/calls/call_module.h"
#include "processing/calls/event_classification.h"
#include "processing/calls/inbound_call_machine_states.h"

namespace travik {

namespace inbound {

namespace ec = event_code;

// Waits for the wake-up "BD".
State CALL_RECEIVED_OK(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kReceivedBD) return State::WAKEUP_RECEIVED_OK;
  if (containsIgnoringCase(currentData(module), "BD")) {
    // A "BD" event directly followed by "Playing CDD" is the wake-up too.
    EventCursor& events = module.events;
    guardCall(module, call.state, [&] { events.moveNext(); });
    if (events.eof()) return State::Leave;
    determineDatatype(module, currentData(module));
    const bool cddFollows = module.dataType == ec::kPlayingCDD;
    guardCall(module, call.state, [&] { events.movePrevious(); });
    return cddFollows ? State::WAKEUP_RECEIVED_OK : State::CALL_RECEIVED_OK;
  }
  if (code == ec::kReceivedCD)
    return abandon(call, {.stage = Stage::WakeUp,
                          .reason = Reason::CorvaneSerialUndefined,
                          .expectedDigits = "BD",
                          .receivedDigits = "CD",
                          .expectedCount = 2,
                          .receivedCount = 2});
  if (code == ec::kIncomingCallCompleted)
    return abandon(call, {.stage = Stage::WakeUp,
                          .reason = Reason::ExpectedDataNotReceived,
                          .expectedDigits = "BD",
                          .expectedCount = 2});
  return State::CALL_RECEIVED_OK;
}

// Waits for 18 wake-up digits, joining digits that arrive split.
State WAKEUP_RECEIVED_OK(Call& call, int code) {
  constexpr std::int32_t kWakeUpDigits = 18;
  CallModule& module = call.module;
  if (code == ec::kReceivedBD) return State::WAKEUP_RECEIVED_OK;
  if (code == ec::kBdAfterCdd)
    return abandon(call, {.stage = Stage::LineSync,
                          .reason = Reason::BdAfterCdd,
                          .receivedDigits = "BD",
                          .expectedCount = kWakeUpDigits,
                          .receivedCount = 2});
  if (code == ec::kReceivedDigits) {
    split(module);
    std::string digits = eventWord(call, 1);
    while (true) {
      const auto length = static_cast<std::int32_t>(textLength(digits));
      if (length == kWakeUpDigits) return State::LINESYNC_RECEIVED_OK;
      if (length == kWakeUpDigits + 1) {
        if (upperCase(digits.substr(0, 3)) == "812") {
          call.wakeup812Received = true;
          return State::LINESYNC_RECEIVED_OK;
        }
        return abandon(call, {.stage = Stage::LineSync,
                              .reason = Reason::DtmfLongerThanExpected,
                              .expectedCount = kWakeUpDigits,
                              .receivedCount = length});
      }
      if (length > kWakeUpDigits)
        return abandon(call, {.stage = Stage::LineSync,
                              .reason = Reason::DtmfLongerThanExpected,
                              .expectedCount = kWakeUpDigits,
                              .receivedCount = length});
      std::optional<std::string> joined = getAdditionalDtmf(module, digits);
      // The rest of the digits may be in events not stored yet: the call stays open.
      if (!joined && module.lookAheadRanOut) return State::Leave;
      if (!joined)
        return abandon(call, {.stage = Stage::LineSync,
                              .reason = Reason::DtmfShorterThanExpected,
                              .expectedCount = kWakeUpDigits,
                              .receivedCount = length});
      digits = std::move(*joined);
      if (module.eventWords.size() > 1) module.eventWords[1] = digits;
    }
  }
  if (code == ec::kIncomingCallCompleted)
    return abandon(
        call, {.stage = Stage::LineSync, .reason = Reason::ExpectedDataNotReceived, .expectedCount = kWakeUpDigits});
  return State::WAKEUP_RECEIVED_OK;
}

// The protocol level and 16 line-sync digits.
State LINESYNC_RECEIVED_OK(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kInitialHandshakeFailed)
    return abandon(call, {.stage = Stage::LineSync, .reason = Reason::TargetNodeNotConfigured});
  if (code == ec::kProtocolLevel) {
    split(module);
    if (const std::string* level = wordAt(call, 3)) module.records.call().protocollevel = *level;
    return State::LINESYNC_RECEIVED_OK;
  }
  if (code == ec::kReceivedDigits)
    return digitCountCheck(call, 16, Stage::SessionHeader, false) ? State::SESSIONHEADER_RECEIVED_OK : State::Leave;
  if (code == ec::kIncomingCallCompleted) {
    if (call.wakeup812Received)
      return abandon(call, {.stage = Stage::LineSync,
                            .reason = Reason::DtmfLongerThanExpected,
                            .expectedCount = 18,
                            .receivedCount = 19});
    return abandon(call,
                   {.stage = Stage::SessionHeader, .reason = Reason::ExpectedDataNotReceived, .expectedCount = 16});
  }
  return State::LINESYNC_RECEIVED_OK;
}

// The node's serial numbers and a 36-digit message header.
State SESSIONHEADER_RECEIVED_OK(Call& call, int code) {
  constexpr std::int32_t kHeaderDigits = 36;
  CallModule& module = call.module;
  if (code == ec::kNotConfiguredOnVarnel) {
    split(module);
    if (const std::string* octel = wordAt(call, 7)) module.records.call().octelserialnumber = *octel;
    return abandon(call, {.stage = Stage::SessionHeader, .reason = Reason::CallingSerialNotConfigured});
  }
  if (code == ec::kCallReceivedFromSerial) {
    split(module);
    if (const std::string* octel = wordAt(call, 5)) module.records.call().octelserialnumber = *octel;
    if (const std::string* corvane = wordAt(call, 9)) module.records.call().corvaneserialnumber = *corvane;
    return State::SESSIONHEADER_RECEIVED_OK;
  }
  if (code == ec::kReceivedDigits || code == ec::kReceived9) {
    // "Received 9" carries one digit: a header cut short.
    const std::int32_t length = splitDigits(call);
    if (length == 18)
      return abandon(call,
                     {.stage = Stage::AdminResponse, .reason = Reason::AdminNamePushRejected, .receivedCount = length});
    return digitCountCheck(call, kHeaderDigits, Stage::MessageHeader, false) ? State::MESSAGEHEADER_RECEIVED_OK
                                                                             : State::Leave;
  }
  if (code == ec::kIncomingCallCompleted)
    return abandon(
        call,
        {.stage = Stage::MessageHeader, .reason = Reason::ExpectedDataNotReceived, .expectedCount = kHeaderDigits});
  return State::SESSIONHEADER_RECEIVED_OK;
}

// A new message, an admin request, or the end of the call.
State MESSAGEHEADER_RECEIVED_OK(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kNewMessageFromMailbox) {
    startTask(module);
    call.aliasResponseNo = false;
    module.records.task(call.state).tasktype = "Voice Message";
    count(call, kMsgReceiveAttempt);
    count(call, kNumberRecipientsSent);
    split(module);
    if (const std::string* sender = wordAt(call, 4)) module.records.task(call.state).sender = *sender;
    addRecipientFromWord(module, wordAt(call, 7), false);
    return State::MESSAGEINFO_RECEIVED_OK;
  }
  if (code == ec::kReceivedDigits)
    return digitCountCheck(call, 22, Stage::AdminRequest, false) ? State::GENERICADMINREQUEST_RECEIVED_OK
                                                                 : State::Leave;
  if (code == ec::kIncomingCallCompleted) {
    callEnd(module);
    return State::Leave;
  }
  return State::MESSAGEHEADER_RECEIVED_OK;
}

// Text-name confirmations until the recording is complete.
State MESSAGEINFO_RECEIVED_OK(Call& call, int code) {
  constexpr std::int32_t kConfirmationDigits = 46;
  CallModule& module = call.module;
  if (code == ec::kRecordingCompleted) return State::RECORDING_COMPLETED_OK;
  if (code == ec::kReceivedDigits) {
    const std::int32_t length = splitDigits(call);
    if (length == 36) {
      // A message header instead of a confirmation: the node refused this recipient.
      module.records.recipient(call.state).rejected = true;
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
    return abandonTask(call, {.stage = Stage::TextNameConfirmation,
                              .reason = reason,
                              .expectedCount = kConfirmationDigits,
                              .receivedCount = length});
  }
  if (code == ec::kIncomingCallCompleted) {
    incompleteMessageRecipient(module);
    return abandonTask(call, {.stage = Stage::Recording, .reason = Reason::Unknown});
  }
  return State::MESSAGEINFO_RECEIVED_OK;
}

// The "#" that ends the recording.
State RECORDING_COMPLETED_OK(Call& call, int code) {
  if (code == ec::kReceivedPound) return State::RECEIVEDPOUND_OK;
  if (code == ec::kIncomingCallCompleted) {
    incompleteMessageRecipient(call.module);
    return abandonTask(call, {.stage = Stage::AudioTerminator,
                              .reason = Reason::ExpectedDataNotReceived,
                              .expectedDigits = "#",
                              .expectedCount = 1});
  }
  return State::RECORDING_COMPLETED_OK;
}

// "Received 9" saves the message; "Playing 7" announces a fax.
State RECEIVEDPOUND_OK(Call& call, int code) {
  if (code == ec::kReceived9) {
    count(call, kMsgReceiveSuccess);
    return State::RECEIVEDNINE_OK;
  }
  if (code == ec::kPlaying7) {
    call.module.records.task(call.state).fax = true;
    return State::RECEIVING_INBOUND_FAX;
  }
  if (code == ec::kIncomingCallCompleted) {
    incompleteMessageRecipient(call.module);
    return abandonTask(call, {.stage = Stage::SaveResponse,
                              .reason = Reason::ExpectedDataNotReceived,
                              .expectedDigits = "9",
                              .expectedCount = 1});
  }
  return State::RECEIVEDPOUND_OK;
}

// The fax pages until "Receiving Fax complete".
State RECEIVING_INBOUND_FAX(Call& call, int code) {
  if (code == ec::kReceivingFax || code == ec::kReceivingFaxFile) return State::RECEIVING_INBOUND_FAX;
  if (code == ec::kReceivingFaxComplete) return State::RECEIVEDPOUND_OK;
  if (code == ec::kIncomingCallCompleted) {
    incompleteMessageRecipient(call.module);
    return abandonTask(call, {.stage = Stage::FaxTransmission, .reason = Reason::NoEndOfFax});
  }
  return State::RECEIVING_INBOUND_FAX;
}

// "Message Saved", or the header of an additional recipient.
State RECEIVEDNINE_OK(Call& call, int code) {
  if (code == ec::kMessageSaved) {
    endTask(call.module, true);
    return State::SESSIONHEADER_RECEIVED_OK;
  }
  if (code == ec::kReceivedDigits)
    return digitCountCheck(call, 24, Stage::AdditionalRecipientHeader, true) ? State::ADDITIONAL_RECIPIENT
                                                                             : State::Leave;
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, {.stage = Stage::MessageResponse, .reason = Reason::Unknown});
  return State::RECEIVEDNINE_OK;
}

}  // namespace inbound

void processInboundCall(CallModule& module) {
  inbound::Call call(module);
  clearCallStats(module);
  runMachine<inbound::Call>(call, inbound::kStates, inbound::State::CALL_RECEIVED_OK);
}

}  // namespace travik
