// The inbound call machine, continued: additional recipients of a message,
// and the admin requests of a node: name retrieval (the gateway sends a
// mailbox's text and spoken name) and name push (the node offers one, which
// the gateway rejects or takes).
#include "processing/calls/call_module.h"
#include "processing/calls/event_classification.h"
#include "processing/calls/inbound_call_machine_states.h"

namespace travik::inbound {

namespace ec = event_code;

namespace {

// The abandonment of a digit string ADDITIONAL_RECIPIENT cannot use: the stage and
// count of the nearest length it knows.  A short string directly followed by
// more digits is an interdigit time-out.
State abandonAdditionalRecipient(Call& call, std::int32_t length) {
  struct Band {
    std::int32_t expected;
    Stage stage;
  };
  const Band band = length <= 30   ? Band{24, Stage::AddRecipients}
                    : length <= 40 ? Band{36, Stage::MessageHeader}
                                   : Band{46, Stage::TextNameConfirmation};
  Reason reason = length < band.expected ? Reason::DtmfShorterThanExpected : Reason::DtmfLongerThanExpected;
  if (length <= 45) {
    const bool more = checkForAdditionalDtmf(call.module);
    if (call.module.lookAheadRanOut) return State::Leave;
    if (more) reason = Reason::InterdigitTimeout;
  }
  return abandonTask(call,
                     {.stage = band.stage, .reason = reason, .expectedCount = band.expected, .receivedCount = length});
}

}  // namespace

// Further recipients of the message just received.
State ADDITIONAL_RECIPIENT(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kMessageSaved) {
    endTask(module, true);
    return State::SESSIONHEADER_RECEIVED_OK;
  }
  if (code == ec::kAddedRecipient) {
    guardCall(module, call.state, [&] { module.records.saveTask(); });
    split(module);
    addRecipientFromWord(module, wordAt(call, 3), false);
    count(call, kNumberRecipientsSent);
    return State::ADDITIONAL_RECIPIENT;
  }
  if (code == ec::kReceivedDigits) {
    const std::int32_t length = splitDigits(call);
    // 24: another recipient header; 36: the next message's header; 46: a text-name confirmation.
    if (length == 24 || length == 36 || length == 46) {
      if (decryptOk(module)) {
        if (length != 36) return State::ADDITIONAL_RECIPIENT;
        endTask(module, true);
        return State::MESSAGEHEADER_RECEIVED_OK;
      }
      const Stage stage = length == 24   ? Stage::AddRecipients
                          : length == 36 ? Stage::MessageHeader
                                         : Stage::TextNameConfirmation;
      return abandonTask(
          call, {.stage = stage, .reason = Reason::InvalidData, .expectedCount = length, .receivedCount = length});
    }
    return abandonAdditionalRecipient(call, length);
  }
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, {.stage = Stage::AddRecipients, .reason = Reason::Unknown});
  return State::ADDITIONAL_RECIPIENT;
}

// The kind of admin request; no task is open.
State GENERICADMINREQUEST_RECEIVED_OK(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kCompletedRetrievingNames) return State::SESSIONHEADER_RECEIVED_OK;
  if (code == ec::kProcessingNameRequest) {
    startInboundAdminTask(module, "Admin-Retrieval");
    call.aliasResponseNo = false;
    return State::PROCESS_TEXT_NAME_SEND;
  }
  if (code == ec::kProcessingNamePush) {
    startInboundAdminTask(module, "Admin-Accept Push");
    call.aliasResponseNo = false;
    return State::PROCESS_NAME_PUSH;
  }
  if (code == ec::kIncomingCallCompleted)
    return abandon(call, {.stage = Stage::AdminRequest, .reason = Reason::Unknown});
  return State::GENERICADMINREQUEST_RECEIVED_OK;
}

// The gateway accepts or rejects the pushed name.
State PROCESS_NAME_PUSH(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kRejectNamePush) {
    module.records.task(call.state).tasktype = "Admin-Reject Push";
    endTask(module, true);
    return State::MESSAGEHEADER_RECEIVED_OK;
  }
  if (code == ec::kAcceptNamePush) return State::AWAIT_PUSH_ALIAS;
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, {.stage = Stage::ReceiveAdminPush, .reason = Reason::Unknown});
  return State::PROCESS_NAME_PUSH;
}

// 18 alias digits.
State AWAIT_PUSH_ALIAS(Call& call, int code) {
  if (code == ec::kReceivedDigits)
    return digitCountCheck(call, 18, Stage::AliasMailboxResponse, true) ? State::PUSH_READ_ALIAS_RESPONSE
                                                                        : State::Leave;
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(
        call, {.stage = Stage::AliasMailboxResponse, .reason = Reason::ExpectedDataNotReceived, .expectedCount = 18});
  return State::AWAIT_PUSH_ALIAS;
}

// The alias response; "=no" in its seventh word means text name only.
State PUSH_READ_ALIAS_RESPONSE(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kReceiveAliasResponse) {
    split(module);
    // A response without a seventh word fails the test, reported as missing,
    // and a test that fails counts as held: text name only.
    const std::string* answer = wordAt(call, 6);
    if (!answer || containsIgnoringCase(*answer, "=no")) call.aliasResponseNo = true;
    return State::AWAIT_PUSH_ASCII;
  }
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, {.stage = Stage::EvaluateAliasResponse, .reason = Reason::Unknown});
  return State::PUSH_READ_ALIAS_RESPONSE;
}

// 48 text-name digits.
State AWAIT_PUSH_ASCII(Call& call, int code) {
  if (code == ec::kReceivedDigits)
    return digitCountCheck(call, 48, Stage::TextNameResponse, true) ? State::READ_PUSHED_TEXT_NAME : State::Leave;
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(
        call, {.stage = Stage::TextNameResponse, .reason = Reason::ExpectedDataNotReceived, .expectedCount = 48});
  return State::AWAIT_PUSH_ASCII;
}

// The pushed text name, quoted in the event.
State READ_PUSHED_TEXT_NAME(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kReceiveTextName) {
    splitAtQuote(module);
    if (const std::string* name = wordAt(call, 1)) module.records.task(call.state).textnamereceived = *name;
    count(call, kTextNamesReceived);
    return call.aliasResponseNo ? State::PUSH_TEXT_ONLY_FINISH : State::PUSH_AWAIT_RECORDED_NAME;
  }
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, {.stage = Stage::UpdatePushedTextName, .reason = Reason::Unknown});
  return State::READ_PUSHED_TEXT_NAME;
}

// A text-only push ends with the gateway's admin response.
State PUSH_TEXT_ONLY_FINISH(Call& call, int code) {
  if (code == ec::kSendAdminResponseFlag) {
    endTask(call.module, true);
    return State::MESSAGEHEADER_RECEIVED_OK;
  }
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, {.stage = Stage::UpdatePushedTextName, .reason = Reason::Unknown});
  return State::PUSH_TEXT_ONLY_FINISH;
}

// The spoken name being recorded.
State PUSH_AWAIT_RECORDED_NAME(Call& call, int code) {
  if (code == ec::kRecordingSpokenName) return State::PUSH_AWAIT_RECORDING_DONE;
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, {.stage = Stage::RecordingVoiceName, .reason = Reason::Unknown});
  return State::PUSH_AWAIT_RECORDED_NAME;
}

// The "#" that ends the spoken name.
State PUSH_AWAIT_RECORDING_DONE(Call& call, int code) {
  if (code == ec::kReceivedPound) return State::PUSH_RECORDING_COMPLETE;
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, {.stage = Stage::AudioTerminator,
                              .reason = Reason::ExpectedDataNotReceived,
                              .expectedDigits = "#",
                              .expectedCount = 1});
  return State::PUSH_AWAIT_RECORDING_DONE;
}

// The gateway's admin response after the spoken name.
State PUSH_RECORDING_COMPLETE(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kSendAdminResponseFlag) {
    module.records.task(call.state).recordingreceived = true;
    count(call, kVoiceNamesReceived);
    endTask(module, true);
    return State::MESSAGEHEADER_RECEIVED_OK;
  }
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, {.stage = Stage::VoiceNamePostRecord, .reason = Reason::Unknown});
  return State::PUSH_RECORDING_COMPLETE;
}

// The text name read for the node, or digits played to it.
State PROCESS_TEXT_NAME_SEND(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kReadNameFromDb) {
    splitAtQuote(module);
    if (const std::string* name = wordAt(call, 1)) module.records.task(call.state).textnamesent = *name;
    count(call, kTextNamesSent);
    return State::PROCESS_VOICE_NAME_SEND;
  }
  if (code == ec::kPlayingLong) {
    const std::int32_t length = splitDigits(call);
    if (length == 48 || length == 18) {
      endTask(module, true);
      return State::MESSAGEHEADER_RECEIVED_OK;
    }
    return abandonTask(call, {.stage = Stage::TextNameResponse, .reason = Reason::Unknown});
  }
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, {.stage = Stage::TextNameResponse, .reason = Reason::Unknown});
  return State::PROCESS_TEXT_NAME_SEND;
}

// The spoken name played, and the digits around it.
State PROCESS_VOICE_NAME_SEND(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kPlayingSpokenName) {
    module.records.task(call.state).recordingsent = true;
    count(call, kVoiceNamesSent);
    return State::WAIT_FOR_POUND_SEND;
  }
  if (code == ec::kPlayingLong) {
    const std::int32_t length = splitDigits(call);
    if (length == 48 || length == 18) return State::PROCESS_VOICE_NAME_SEND;
    if (length == 8) {
      endTask(module, true);
      return State::MESSAGEHEADER_RECEIVED_OK;
    }
    return abandonTask(call, {.stage = Stage::AudioTransmission, .reason = Reason::Unknown});
  }
  if (code == ec::kReceivedDigits) {
    const std::int32_t length = splitDigits(call);
    if (length == 22) {
      // The node's next admin request.
      endTask(module, true);
      return State::GENERICADMINREQUEST_RECEIVED_OK;
    }
    if (length == 8) return State::PROCESS_VOICE_NAME_SEND;
    return abandonTask(call, {.stage = Stage::AudioTransmission, .reason = Reason::Unknown});
  }
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, {.stage = Stage::AudioTransmission, .reason = Reason::Unknown});
  return State::PROCESS_VOICE_NAME_SEND;
}

// The "#" played after the spoken name.
State WAIT_FOR_POUND_SEND(Call& call, int code) {
  if (code == ec::kPlayingPound) return State::FINISH_NAME_SEND;
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, {.stage = Stage::AudioTransmission, .reason = Reason::Unknown});
  return State::WAIT_FOR_POUND_SEND;
}

// The node confirms the name with 8 digits.
State FINISH_NAME_SEND(Call& call, int code) {
  if (code == ec::kReceivedDigits) {
    if (!digitCountCheck(call, 8, Stage::AdminRecordingRecdConfirmation, true)) return State::Leave;
    endTask(call.module, true);
    return State::MESSAGEHEADER_RECEIVED_OK;
  }
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, {.stage = Stage::AdminRecordingRecdConfirmation,
                              .reason = Reason::ExpectedDataNotReceived,
                              .expectedCount = 8});
  return State::FINISH_NAME_SEND;
}

}  // namespace travik::inbound
