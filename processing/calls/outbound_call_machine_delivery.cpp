// The outbound call machine, message delivery: the header of each message
// and the node's response status, the sending, playing and saving of the
// message up to the node's message response, a receipt, a message the
// gateway could not send, and the wait for the end of the call after the
// last message or the last name.
#include "processing/calls/call_module.h"
#include "processing/calls/event_classification.h"
#include "processing/calls/outbound_call_machine_states.h"

namespace travik::outbound {

namespace ec = event_code;

namespace {

// The length of a played header the gateway sends for its next message.
constexpr std::int32_t kMessageHeaderDigits = 36;

// COULD_NOT_SEND_MESSAGE and MESSAGE_NOT_DELIVERED: a played string of 36 digits is the header of the next
// message; any other length ends the call.
State nextMessageHeader(Call& call) {
  if (splitDigits(call) == kMessageHeaderDigits) return State::WAIT_FOR_MESSAGE_HEADER_RESPONSE;
  return abandon(call, {.stage = Stage::FailureAfterOutboundMessageRejection, .reason = Reason::Unknown});
}

}  // namespace

// The node answers the next message's header, or the gateway has
// no more messages.
State WAIT_FOR_MESSAGE_HEADER_RESPONSE(Call& call, int code) {
  constexpr std::int32_t kHeaderResponseDigits = 6;
  if (code == ec::kReceivedDigits)
    return digitCountCheck(call, kHeaderResponseDigits, Stage::MessageHeaderResponse, false)
               ? State::MESSAGEHEADERRESPONSE_RECEIVED_OK
               : State::Leave;
  if (code == ec::kCompletedDeliveringMessages) return State::COMPLETED_DELIVERING_MESSAGES;
  if (code == ec::kCommunicationProblems || callEnding(call, code))
    return abandon(call, {.stage = Stage::MessageHeaderResponse,
                          .reason = Reason::ExpectedDataNotReceived,
                          .expectedCount = kHeaderResponseDigits});
  return State::WAIT_FOR_MESSAGE_HEADER_RESPONSE;
}

// The node's response status, then what the gateway does with the
// message: send it, confirm its recipient's text name, give it up, or fetch
// names instead.
State MESSAGEHEADERRESPONSE_RECEIVED_OK(Call& call, int code) {
  CallModule& module = call.module;
  constexpr std::int32_t kTextNameDigits = 46;
  if (code == ec::kOctelResponseStatus) {
    if (const std::optional<int> response = responseCode(call))
      module.pendingRecipientInfo = setOctelResponseString(*response);
    return State::MESSAGEHEADERRESPONSE_RECEIVED_OK;
  }
  if (code == ec::kPlayingLong) {
    if (splitDigits(call) == kTextNameDigits) return State::CHECKING_FOR_NAME_MATCH;
    return abandon(call, {.stage = Stage::TextNameConfirmation, .reason = Reason::Unknown});
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
    startRetrievalTask(call);
    return State::RETRIEVING_NAME;
  }
  if (code == ec::kCompletedRetrievingNames) return State::COMPLETED_RETRIEVING_NAMES;
  if (callEnding(call, code)) {
    callEnd(module);
    return State::Leave;
  }
  return State::MESSAGEHEADERRESPONSE_RECEIVED_OK;
}

// The node refused the message; the next header or "Message NOT
// Delivered" follows.
State COULD_NOT_SEND_MESSAGE(Call& call, int code) {
  if (code == ec::kPlayingLong) return nextMessageHeader(call);
  if (code == ec::kMessageNotDelivered) return State::MESSAGE_NOT_DELIVERED;
  if (callEnding(call, code))
    return abandon(call, {.stage = Stage::FailureAfterOutboundMessageRejection, .reason = Reason::Unknown});
  return State::COULD_NOT_SEND_MESSAGE;
}

// After "Message NOT Delivered", the next header or the end of the messages.
State MESSAGE_NOT_DELIVERED(Call& call, int code) {
  if (code == ec::kPlayingLong) return nextMessageHeader(call);
  if (code == ec::kCompletedDeliveringMessages) return State::COMPLETED_DELIVERING_MESSAGES;
  if (callEnding(call, code))
    return abandon(call, {.stage = Stage::FailureAfterOutboundMessageRejection, .reason = Reason::Unknown});
  return State::MESSAGE_NOT_DELIVERED;
}

// The message audio is played, or a receipt is delivered.
State SENDING_MESSAGE(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kMessageDelivered) {
    module.records.task(call.state).tasktype = "Receipt";
    endOpenTask(module, true);
    count(call, kMsgSendSuccess);
    return State::WAIT_FOR_MESSAGE_HEADER_RESPONSE;
  }
  if (code == ec::kPlayingPound) return State::AUDIO_PLAY_COMPLETE;
  if (callEnding(call, code)) return abandonMessage(call, {.stage = Stage::Playing, .reason = Reason::Unknown});
  return State::SENDING_MESSAGE;
}

// The node asks to save the message ("8") or for its fax ("7").
State AUDIO_PLAY_COMPLETE(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kReceived7) {
    module.records.task(call.state).fax = true;
    return State::SENDING_OUTBOUND_FAX;
  }
  if (code == ec::kReceived8) return State::RECEIVED_EIGHT;
  if (callEnding(call, code))
    return abandonMessage(call, {.stage = Stage::SaveRequest,
                                 .reason = Reason::ExpectedDataNotReceived,
                                 .expectedDigits = "8",
                                 .expectedCount = 1});
  return State::AUDIO_PLAY_COMPLETE;
}

// The gateway answers the save request with "9".
State RECEIVED_EIGHT(Call& call, int code) {
  if (code == ec::kPlaying9) return State::SAVE_RESPONSE_OK;
  if (callEnding(call, code)) return abandonMessage(call, {.stage = Stage::SaveResponse, .reason = Reason::Unknown});
  return State::RECEIVED_EIGHT;
}

// The node's six-digit message response.  No decrypt step here,
// and the task stays open for further recipients of the same message.
State SAVE_RESPONSE_OK(Call& call, int code) {
  CallModule& module = call.module;
  constexpr std::int32_t kMessageResponseDigits = 6;
  if (code == ec::kReceivedDigits) {
    const std::int32_t length = splitDigits(call);
    if (length == kMessageResponseDigits) {
      count(call, kMsgSendSuccess);
      return State::SEND_ADDITIONAL_RECIPIENTS;
    }
    if (length < kMessageResponseDigits) {
      const bool more = checkForAdditionalDtmf(module);
      if (module.lookAheadRanOut) return State::Leave;
      const Reason reason = more ? Reason::InterdigitTimeout : Reason::DtmfShorterThanExpected;
      return abandonMessage(call, {.stage = Stage::MessageResponse,
                                   .reason = reason,
                                   .expectedCount = kMessageResponseDigits,
                                   .receivedCount = length});
    }
    return abandonMessage(call, {.stage = Stage::MessageResponse,
                                 .reason = Reason::DtmfLongerThanExpected,
                                 .expectedCount = kMessageResponseDigits,
                                 .receivedCount = length});
  }
  if (callEnding(call, code))
    return abandonMessage(call, {.stage = Stage::MessageResponse,
                                 .reason = Reason::ExpectedDataNotReceived,
                                 .expectedCount = kMessageResponseDigits});
  return State::SAVE_RESPONSE_OK;
}

// Every message is delivered; waits for the end of the call.
State COMPLETED_DELIVERING_MESSAGES(Call& call, int code) {
  CallModule& module = call.module;
  if (callEnding(call, code)) {
    callEnd(module);
    return State::Leave;
  }
  return State::COMPLETED_DELIVERING_MESSAGES;
}

// Every name is fetched; waits for the end of the call.
State COMPLETED_RETRIEVING_NAMES(Call& call, int code) {
  CallModule& module = call.module;
  if (callEnding(call, code)) {
    callEnd(module);
    return State::Leave;
  }
  return State::COMPLETED_RETRIEVING_NAMES;
}

}  // namespace travik::outbound
