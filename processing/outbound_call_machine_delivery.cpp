// The outbound call machine, message delivery: the header of each message
// and the node's response status, the sending, playing and saving of the
// message up to the node's message response, a receipt, a message the
// gateway could not send, and the wait for the end of the call after the
// last message or the last name.
#include "processing/call_module.h"
#include "processing/event_classification.h"
#include "processing/outbound_call_machine_states.h"

namespace travik::outbound {

namespace ec = event_code;

namespace {

// The length of a played header the gateway sends for its next message.
constexpr std::int32_t kMessageHeaderDigits = 36;

// States 8 and 9: a played string of 36 digits is the header of the next
// message; any other length ends the call.
State nextMessageHeader(CallModule& module, std::string_view state) {
  if (splitDigits(module, state) == kMessageHeaderDigits) return State::WAIT_FOR_MESSAGE_HEADER_RESPONSE;
  return abandon(module, Stage::FailureAfterOutboundMessageRejection, Reason::Unknown, "", "", 0, 0);
}

}  // namespace

// State 6: the node answers the next message's header, or the gateway has
// no more messages.
State WAIT_FOR_MESSAGE_HEADER_RESPONSE(CallModule& module) {
  constexpr std::string_view kState = "WAIT_FOR_MESSAGE_HEADER_RESPONSE";
  constexpr std::int32_t kHeaderResponseDigits = 6;
  int code = 0;
  if (!readEvent(module, code)) return State::Leave;

  if (code == ec::kReceivedDigits)
    return digitCountCheck(module, kState, kHeaderResponseDigits, Stage::MessageHeaderResponse, false)
               ? State::MESSAGEHEADERRESPONSE_RECEIVED_OK
               : State::Leave;
  if (code == ec::kCompletedDeliveringMessages) return State::COMPLETED_DELIVERING_MESSAGES;
  if (code == ec::kCommunicationProblems || callEnding(module, code, kState))
    return abandon(module, Stage::MessageHeaderResponse, Reason::ExpectedDataNotReceived, "", "", kHeaderResponseDigits,
                   0);
  return State::WAIT_FOR_MESSAGE_HEADER_RESPONSE;
}

// State 7: the node's response status, then what the gateway does with the
// message: send it, confirm its recipient's text name, give it up, or fetch
// names instead.
State MESSAGEHEADERRESPONSE_RECEIVED_OK(CallModule& module) {
  constexpr std::string_view kState = "MESSAGEHEADERRESPONSE_RECEIVED_OK";
  constexpr std::int32_t kTextNameDigits = 46;
  int code = 0;
  if (!readEvent(module, code)) return State::Leave;

  if (code == ec::kOctelResponseStatus) {
    if (const std::optional<int> response = responseCode(module, kState))
      module.pendingRecipientInfo = setOctelResponseString(*response);
    return State::MESSAGEHEADERRESPONSE_RECEIVED_OK;
  }
  if (code == ec::kPlayingLong) {
    if (splitDigits(module, kState) == kTextNameDigits) return State::CHECKING_FOR_NAME_MATCH;
    return abandon(module, Stage::TextNameConfirmation, Reason::Unknown, "", "", 0, 0);
  }
  if (code == ec::kSendingMessage) {
    sendMsg(module);
    return State::SENDING_MESSAGE;
  }
  if (code == ec::kCouldNotSendMessage) {
    couldNotSend(module);
    endOpenTask(module, false);
    return State::COULD_NOT_SEND_MESSAGE;
  }
  if (code == ec::kRetrievingName) {
    startRetrievalTask(module, kState);
    return State::RETRIEVING_NAME;
  }
  if (code == ec::kCompletedRetrievingNames) return State::COMPLETED_RETRIEVING_NAMES;
  if (callEnding(module, code, kState)) {
    callEnd(module);
    return State::Leave;
  }
  return State::MESSAGEHEADERRESPONSE_RECEIVED_OK;
}

// State 8: the node refused the message; the next header or "Message NOT
// Delivered" follows.
State COULD_NOT_SEND_MESSAGE(CallModule& module) {
  constexpr std::string_view kState = "COULD_NOT_SEND_MESSAGE";
  int code = 0;
  if (!readEvent(module, code)) return State::Leave;

  if (code == ec::kPlayingLong) return nextMessageHeader(module, kState);
  if (code == ec::kMessageNotDelivered) return State::MESSAGE_NOT_DELIVERED;
  if (callEnding(module, code, kState))
    return abandon(module, Stage::FailureAfterOutboundMessageRejection, Reason::Unknown, "", "", 0, 0);
  return State::COULD_NOT_SEND_MESSAGE;
}

// State 9: after "Message NOT Delivered", the next header or the end of the messages.
State MESSAGE_NOT_DELIVERED(CallModule& module) {
  constexpr std::string_view kState = "MESSAGE_NOT_DELIVERED";
  int code = 0;
  if (!readEvent(module, code)) return State::Leave;

  if (code == ec::kPlayingLong) return nextMessageHeader(module, kState);
  if (code == ec::kCompletedDeliveringMessages) return State::COMPLETED_DELIVERING_MESSAGES;
  if (callEnding(module, code, kState))
    return abandon(module, Stage::FailureAfterOutboundMessageRejection, Reason::Unknown, "", "", 0, 0);
  return State::MESSAGE_NOT_DELIVERED;
}

// State 10: the message audio is played, or a receipt is delivered.
State SENDING_MESSAGE(CallModule& module) {
  constexpr std::string_view kState = "SENDING_MESSAGE";
  int code = 0;
  if (!readEvent(module, code)) return State::Leave;

  if (code == ec::kMessageDelivered) {
    module.records.task().tasktype = "Receipt";
    endOpenTask(module, true);
    count(module, kMsgSendSuccess);
    return State::WAIT_FOR_MESSAGE_HEADER_RESPONSE;
  }
  if (code == ec::kPlayingPound) return State::AUDIO_PLAY_COMPLETE;
  if (callEnding(module, code, kState)) return abandonMessage(module, Stage::Playing, Reason::Unknown, "", "", 0, 0);
  return State::SENDING_MESSAGE;
}

// State 11: the node asks to save the message ("8") or for its fax ("7").
State AUDIO_PLAY_COMPLETE(CallModule& module) {
  constexpr std::string_view kState = "AUDIO_PLAY_COMPLETE";
  int code = 0;
  if (!readEvent(module, code)) return State::Leave;

  if (code == ec::kReceived7) {
    module.records.task().fax = true;
    return State::SENDING_OUTBOUND_FAX;
  }
  if (code == ec::kReceived8) return State::RECEIVED_EIGHT;
  if (callEnding(module, code, kState))
    return abandonMessage(module, Stage::SaveRequest, Reason::ExpectedDataNotReceived, "8", "", 1, 0);
  return State::AUDIO_PLAY_COMPLETE;
}

// State 12: the gateway answers the save request with "9".
State RECEIVED_EIGHT(CallModule& module) {
  constexpr std::string_view kState = "RECEIVED_EIGHT";
  int code = 0;
  if (!readEvent(module, code)) return State::Leave;

  if (code == ec::kPlaying9) return State::SAVE_RESPONSE_OK;
  if (callEnding(module, code, kState))
    return abandonMessage(module, Stage::SaveResponse, Reason::Unknown, "", "", 0, 0);
  return State::RECEIVED_EIGHT;
}

// State 13: the node's six-digit message response.  No decrypt step here,
// and the task stays open for further recipients of the same message.
State SAVE_RESPONSE_OK(CallModule& module) {
  constexpr std::string_view kState = "SAVE_RESPONSE_OK";
  constexpr std::int32_t kMessageResponseDigits = 6;
  int code = 0;
  if (!readEvent(module, code)) return State::Leave;

  if (code == ec::kReceivedDigits) {
    const std::int32_t length = splitDigits(module, kState);
    if (length == kMessageResponseDigits) {
      count(module, kMsgSendSuccess);
      return State::SEND_ADDITIONAL_RECIPIENTS;
    }
    if (length < kMessageResponseDigits) {
      const bool more = checkForAdditionalDtmf(module);
      if (module.lookAheadRanOut) return State::Leave;
      const Reason reason = more ? Reason::InterdigitTimeout : Reason::DtmfShorterThanExpected;
      return abandonMessage(module, Stage::MessageResponse, reason, "", "", kMessageResponseDigits, length);
    }
    return abandonMessage(module, Stage::MessageResponse, Reason::DtmfLongerThanExpected, "", "",
                          kMessageResponseDigits, length);
  }
  if (callEnding(module, code, kState))
    return abandonMessage(module, Stage::MessageResponse, Reason::ExpectedDataNotReceived, "", "",
                          kMessageResponseDigits, 0);
  return State::SAVE_RESPONSE_OK;
}

// State 29: every message is delivered; waits for the end of the call.
State COMPLETED_DELIVERING_MESSAGES(CallModule& module) {
  constexpr std::string_view kState = "COMPLETED_DELIVERING_MESSAGES";
  int code = 0;
  if (!readEvent(module, code)) return State::Leave;

  if (callEnding(module, code, kState)) {
    callEnd(module);
    return State::Leave;
  }
  return State::COMPLETED_DELIVERING_MESSAGES;
}

// State 30: every name is fetched; waits for the end of the call.
State COMPLETED_RETRIEVING_NAMES(CallModule& module) {
  constexpr std::string_view kState = "COMPLETED_RETRIEVING_NAMES";
  int code = 0;
  if (!readEvent(module, code)) return State::Leave;

  if (callEnding(module, code, kState)) {
    callEnd(module);
    return State::Leave;
  }
  return State::COMPLETED_RETRIEVING_NAMES;
}

}  // namespace travik::outbound
