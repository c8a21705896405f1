// The inbound call machine, continued: additional recipients of a message,
// and the admin requests of a node: name retrieval (the gateway sends a
// mailbox's text and spoken name) and name push (the node offers one, which
// the gateway rejects or takes).
#include "processing/call_module.h"
#include "processing/event_classification.h"
#include "processing/inbound_call_machine_states.h"

namespace travik::inbound {

namespace ec = event_code;

namespace {

// The abandonment of a digit string state 11 cannot use: the stage and
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
  return abandonTask(call, band.stage, reason, "", "", band.expected, length);
}

}  // namespace

// State 11: further recipients of the message just received.
State ADDITIONAL_RECIPIENT(Call& call) {
  constexpr std::string_view kState = "ADDITIONAL_RECIPIENT";
  CallModule& module = call.module;
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kMessageSaved) {
    endTask(module, true);
    return State::SESSIONHEADER_RECEIVED_OK;
  }
  if (code == ec::kAddedRecipient) {
    guardCall(module, kState, [&] { module.records.saveTask(); });
    split(module);
    addRecipientFromWord(module, wordAt(module, 3, kState), false);
    count(call, kNumberRecipientsSent);
    return State::ADDITIONAL_RECIPIENT;
  }
  if (code == ec::kReceivedDigits) {
    const std::int32_t length = splitDigits(call, kState);
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
      return abandonTask(call, stage, Reason::InvalidData, "", "", length, length);
    }
    return abandonAdditionalRecipient(call, length);
  }
  if (code == ec::kIncomingCallCompleted) return abandonTask(call, Stage::AddRecipients, Reason::Unknown, "", "", 0, 0);
  return State::ADDITIONAL_RECIPIENT;
}

// State 12: the kind of admin request; no task is open.
State GENERICADMINREQUEST_RECEIVED_OK(Call& call) {
  CallModule& module = call.module;
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kCompletedRetrievingNames) return State::SESSIONHEADER_RECEIVED_OK;
  if (code == ec::kProcessingNameRequest) {
    startInboundAdminTask(module, "Admin-Retrieval");
    return State::PROCESS_TEXT_NAME_SEND;
  }
  if (code == ec::kProcessingNamePush) {
    startInboundAdminTask(module, "Admin-Accept Push");
    return State::PROCESS_NAME_PUSH;
  }
  if (code == ec::kIncomingCallCompleted) return abandon(call, Stage::AdminRequest, Reason::Unknown, "", "", 0, 0);
  return State::GENERICADMINREQUEST_RECEIVED_OK;
}

// State 13: the gateway accepts or rejects the pushed name.
State PROCESS_NAME_PUSH(Call& call) {
  CallModule& module = call.module;
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kRejectNamePush) {
    module.records.task().tasktype = "Admin-Reject Push";
    endTask(module, true);
    return State::MESSAGEHEADER_RECEIVED_OK;
  }
  if (code == ec::kAcceptNamePush) return State::AWAIT_PUSH_ALIAS;
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, Stage::ReceiveAdminPush, Reason::Unknown, "", "", 0, 0);
  return State::PROCESS_NAME_PUSH;
}

// State 14: 18 alias digits.
State AWAIT_PUSH_ALIAS(Call& call) {
  constexpr std::string_view kState = "AWAIT_PUSH_ALIAS";
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kReceivedDigits)
    return digitCountCheck(call, kState, 18, Stage::AliasMailboxResponse, true) ? State::PUSH_READ_ALIAS_RESPONSE
                                                                                : State::Leave;
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, Stage::AliasMailboxResponse, Reason::ExpectedDataNotReceived, "", "", 18, 0);
  return State::AWAIT_PUSH_ALIAS;
}

// State 15: the alias response; "=no" in its seventh word means text name only.
State PUSH_READ_ALIAS_RESPONSE(Call& call) {
  constexpr std::string_view kState = "PUSH_READ_ALIAS_RESPONSE";
  CallModule& module = call.module;
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kReceiveAliasResponse) {
    split(module);
    if (containsIgnoringCase(eventWord(module, 6, kState), "=no")) module.aliasResponseNo = true;
    return State::AWAIT_PUSH_ASCII;
  }
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, Stage::EvaluateAliasResponse, Reason::Unknown, "", "", 0, 0);
  return State::PUSH_READ_ALIAS_RESPONSE;
}

// State 16: 48 text-name digits.
State AWAIT_PUSH_ASCII(Call& call) {
  constexpr std::string_view kState = "AWAIT_PUSH_ASCII";
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kReceivedDigits)
    return digitCountCheck(call, kState, 48, Stage::TextNameResponse, true) ? State::READ_PUSHED_TEXT_NAME
                                                                            : State::Leave;
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, Stage::TextNameResponse, Reason::ExpectedDataNotReceived, "", "", 48, 0);
  return State::AWAIT_PUSH_ASCII;
}

// State 17: the pushed text name, quoted in the event.
State READ_PUSHED_TEXT_NAME(Call& call) {
  constexpr std::string_view kState = "READ_PUSHED_TEXT_NAME";
  CallModule& module = call.module;
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kReceiveTextName) {
    splitAtQuote(module);
    if (const std::string* name = wordAt(module, 1, kState)) module.records.task().textnamereceived = *name;
    count(call, kTextNamesReceived);
    return module.aliasResponseNo ? State::PUSH_TEXT_ONLY_FINISH : State::PUSH_AWAIT_RECORDED_NAME;
  }
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, Stage::UpdatePushedTextName, Reason::Unknown, "", "", 0, 0);
  return State::READ_PUSHED_TEXT_NAME;
}

// State 18: a text-only push ends with the gateway's admin response.
State PUSH_TEXT_ONLY_FINISH(Call& call) {
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kSendAdminResponseFlag) {
    endTask(call.module, true);
    return State::MESSAGEHEADER_RECEIVED_OK;
  }
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, Stage::UpdatePushedTextName, Reason::Unknown, "", "", 0, 0);
  return State::PUSH_TEXT_ONLY_FINISH;
}

// State 19: the spoken name being recorded.
State PUSH_AWAIT_RECORDED_NAME(Call& call) {
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kRecordingSpokenName) return State::PUSH_AWAIT_RECORDING_DONE;
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, Stage::RecordingVoiceName, Reason::Unknown, "", "", 0, 0);
  return State::PUSH_AWAIT_RECORDED_NAME;
}

// State 20: the "#" that ends the spoken name.
State PUSH_AWAIT_RECORDING_DONE(Call& call) {
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kReceivedPound) return State::PUSH_RECORDING_COMPLETE;
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, Stage::AudioTerminator, Reason::ExpectedDataNotReceived, "#", "", 1, 0);
  return State::PUSH_AWAIT_RECORDING_DONE;
}

// State 21: the gateway's admin response after the spoken name.
State PUSH_RECORDING_COMPLETE(Call& call) {
  CallModule& module = call.module;
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kSendAdminResponseFlag) {
    module.records.task().recordingreceived = true;
    count(call, kVoiceNamesReceived);
    endTask(module, true);
    return State::MESSAGEHEADER_RECEIVED_OK;
  }
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, Stage::VoiceNamePostRecord, Reason::Unknown, "", "", 0, 0);
  return State::PUSH_RECORDING_COMPLETE;
}

// State 22: the text name read for the node, or digits played to it.
State PROCESS_TEXT_NAME_SEND(Call& call) {
  constexpr std::string_view kState = "PROCESS_TEXT_NAME_SEND";
  CallModule& module = call.module;
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kReadNameFromDb) {
    splitAtQuote(module);
    if (const std::string* name = wordAt(module, 1, kState)) module.records.task().textnamesent = *name;
    count(call, kTextNamesSent);
    return State::PROCESS_VOICE_NAME_SEND;
  }
  if (code == ec::kPlayingLong) {
    const std::int32_t length = splitDigits(call, kState);
    if (length == 48 || length == 18) {
      endTask(module, true);
      return State::MESSAGEHEADER_RECEIVED_OK;
    }
    return abandonTask(call, Stage::TextNameResponse, Reason::Unknown, "", "", 0, 0);
  }
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, Stage::TextNameResponse, Reason::Unknown, "", "", 0, 0);
  return State::PROCESS_TEXT_NAME_SEND;
}

// State 23: the spoken name played, and the digits around it.
State PROCESS_VOICE_NAME_SEND(Call& call) {
  constexpr std::string_view kState = "PROCESS_VOICE_NAME_SEND";
  CallModule& module = call.module;
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kPlayingSpokenName) {
    module.records.task().recordingsent = true;
    count(call, kVoiceNamesSent);
    return State::WAIT_FOR_POUND_SEND;
  }
  if (code == ec::kPlayingLong) {
    const std::int32_t length = splitDigits(call, kState);
    if (length == 48 || length == 18) return State::PROCESS_VOICE_NAME_SEND;
    if (length == 8) {
      endTask(module, true);
      return State::MESSAGEHEADER_RECEIVED_OK;
    }
    return abandonTask(call, Stage::AudioTransmission, Reason::Unknown, "", "", 0, 0);
  }
  if (code == ec::kReceivedDigits) {
    const std::int32_t length = splitDigits(call, kState);
    if (length == 22) {
      // The node's next admin request.
      endTask(module, true);
      return State::GENERICADMINREQUEST_RECEIVED_OK;
    }
    if (length == 8) return State::PROCESS_VOICE_NAME_SEND;
    return abandonTask(call, Stage::AudioTransmission, Reason::Unknown, "", "", 0, 0);
  }
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, Stage::AudioTransmission, Reason::Unknown, "", "", 0, 0);
  return State::PROCESS_VOICE_NAME_SEND;
}

// State 24: the "#" played after the spoken name.
State WAIT_FOR_POUND_SEND(Call& call) {
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kPlayingPound) return State::FINISH_NAME_SEND;
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, Stage::AudioTransmission, Reason::Unknown, "", "", 0, 0);
  return State::WAIT_FOR_POUND_SEND;
}

// State 25: the node confirms the name with 8 digits.
State FINISH_NAME_SEND(Call& call) {
  constexpr std::string_view kState = "FINISH_NAME_SEND";
  int code = 0;
  if (!readEvent(call, code)) return State::Leave;

  if (code == ec::kReceivedDigits) {
    if (!digitCountCheck(call, kState, 8, Stage::AdminRecordingRecdConfirmation, true)) return State::Leave;
    endTask(call.module, true);
    return State::MESSAGEHEADER_RECEIVED_OK;
  }
  if (code == ec::kIncomingCallCompleted)
    return abandonTask(call, Stage::AdminRecordingRecdConfirmation, Reason::ExpectedDataNotReceived, "", "", 8, 0);
  return State::FINISH_NAME_SEND;
}

}  // namespace travik::inbound
