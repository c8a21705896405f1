// The outbound call machine, additional recipients, fax and names: further
// recipients of a message after the node's message response, the fax that
// belongs to a message, the text-name match the node confirms before a
// message or recipient is sent, and the retrieval of mailbox names.
#include "processing/calls/call_module.h"
#include "processing/calls/event_classification.h"
#include "processing/calls/outbound_call_machine_states.h"

namespace travik::outbound {

namespace ec = event_code;

namespace {

constexpr std::int32_t kAnswerDigits = 6;             // the node's answer to a header or a text name
constexpr std::int32_t kRecipientHeaderDigits = 24;   // a played additional-recipient header
constexpr std::int32_t kTextNameDigits = 46;          // a played text name
constexpr std::int32_t kReceivedTextNameDigits = 48;  // a text name the node sends
constexpr std::int32_t kVoiceNameRequestDigits = 8;   // a played request for the spoken name

// A further recipient of the open message task, reported by "Added Recepient
// mailbox" (mailbox in word 3) or refused by "Could NOT send to Recepient
// mailbox" (word 6).  It counts as sent either way; the outcome text pending
// from the node's response status goes with it.
void addAdditionalRecipient(Call& call, int code) {
  CallModule& module = call.module;
  const bool refused = code == ec::kCouldNotSendToRecipient;
  count(call, kNumberRecipientsSent);
  split(module);
  const bool added = addRecipientFromWord(module, wordAt(call, refused ? 6 : 3), true);
  if (refused && added) module.records.recipient(call.state).rejected = true;
}

// The node's response status in POST_NAME_MATCH and POST_ADD_NAME_MATCH: only a code above 0 sets
// the outcome text.  A code that cannot be read fails the test, and the
// write it guards then fails the same way.
void keepRefusal(Call& call) {
  const std::optional<int> response = responseCode(call);
  if (response && *response <= 0) return;
  if (const std::optional<int> again = response ? response : responseCode(call))
    call.module.pendingRecipientInfo = setOctelResponseString(*again);
}

}  // namespace

void startRetrievalTask(Call& call) {
  CallModule& module = call.module;
  startTask(module);
  module.records.task(call.state).tasktype = "Admin-Retrieval";
  count(call, kAdminNamesRequested);
  split(module);
  if (const std::string* mailbox = wordAt(call, 4)) module.records.task(call.state).namerequestfor = *mailbox;
}

// The header of a further recipient, or the message is done.
State SEND_ADDITIONAL_RECIPIENTS(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kMessageDelivered) {
    endOpenTask(module, true);
    return State::WAIT_FOR_MESSAGE_HEADER_RESPONSE;
  }
  if (code == ec::kPlayingLong) {
    if (splitDigits(call) == kRecipientHeaderDigits) return State::WAIT_FOR_ADD_RECIPIENT_RESPONSE;
    return abandonTask(call, {.stage = Stage::AdditionalRecipientHeader, .reason = Reason::Unknown});
  }
  if (callEnding(call, code))
    return abandonTask(call, {.stage = Stage::AdditionalRecipientHeader, .reason = Reason::Unknown});
  return State::SEND_ADDITIONAL_RECIPIENTS;
}

// The node's six-digit answer to the additional-recipient header.
State WAIT_FOR_ADD_RECIPIENT_RESPONSE(Call& call, int code) {
  if (code == ec::kReceivedDigits)
    return digitCountCheck(call, kAnswerDigits, Stage::AdditionalRecipientHeaderResponse, true)
               ? State::ADDRESS_ADDITIONAL_RECIPIENTS
               : State::Leave;
  if (callEnding(call, code))
    return abandonTask(call, {.stage = Stage::AdditionalRecipientHeaderResponse,
                              .reason = Reason::ExpectedDataNotReceived,
                              .expectedCount = kAnswerDigits});
  return State::WAIT_FOR_ADD_RECIPIENT_RESPONSE;
}

// The recipient is reported at once, or its text name is played first.
State ADDRESS_ADDITIONAL_RECIPIENTS(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kOctelResponseStatus) {
    // Every code counts here: 0 clears an earlier outcome text.
    if (const std::optional<int> response = responseCode(call))
      module.pendingRecipientInfo = setOctelResponseString(*response);
    return State::ADDRESS_ADDITIONAL_RECIPIENTS;
  }
  if (code == ec::kPlayingLong) {
    if (splitDigits(call) == kTextNameDigits) return State::CHECKING_FOR_ADD_NAME_MATCH;
    return abandonTask(call, {.stage = Stage::TextNameConfirmation, .reason = Reason::Unknown});
  }
  if (code == ec::kAddedRecipient || code == ec::kCouldNotSendToRecipient) {
    addAdditionalRecipient(call, code);
    return State::SEND_ADDITIONAL_RECIPIENTS;
  }
  if (callEnding(call, code)) return abandonTask(call, {.stage = Stage::AddRecipients, .reason = Reason::Unknown});
  return State::ADDRESS_ADDITIONAL_RECIPIENTS;
}

// The node asked for the fax; waits for it to start.
State SENDING_OUTBOUND_FAX(Call& call, int code) {
  if (code == ec::kSendingFax) return State::WAIT_FOR_OUTBOUND_FAX_COMPLETE;
  if (callEnding(call, code)) return abandonMessage(call, {.stage = Stage::FaxTransmission, .reason = Reason::Unknown});
  return State::SENDING_OUTBOUND_FAX;
}

// The fax is on its way; waits for its end.
State WAIT_FOR_OUTBOUND_FAX_COMPLETE(Call& call, int code) {
  if (code == ec::kSendingFaxCompleted) return State::AUDIO_PLAY_COMPLETE;
  if (callEnding(call, code))
    return abandonMessage(call, {.stage = Stage::FaxTransmission, .reason = Reason::NoEndOfFax});
  return State::WAIT_FOR_OUTBOUND_FAX_COMPLETE;
}

// The node's answer to the first recipient's text name; no task yet.
State CHECKING_FOR_NAME_MATCH(Call& call, int code) {
  if (code == ec::kReceivedDigits)
    return digitCountCheck(call, kAnswerDigits, Stage::TextNameResponse, false) ? State::POST_NAME_MATCH : State::Leave;
  if (callEnding(call, code))
    return abandon(
        call,
        {.stage = Stage::TextNameResponse, .reason = Reason::ExpectedDataNotReceived, .expectedCount = kAnswerDigits});
  return State::CHECKING_FOR_NAME_MATCH;
}

// The node's answer to a further recipient's text name.  The
// message task is open; like the states around it, every failure here ends
// it, so an ended call never keeps an open task.
State CHECKING_FOR_ADD_NAME_MATCH(Call& call, int code) {
  if (code == ec::kReceivedDigits)
    return digitCountCheck(call, kAnswerDigits, Stage::TextNameResponse, true) ? State::POST_ADD_NAME_MATCH
                                                                               : State::Leave;
  if (callEnding(call, code))
    return abandonTask(
        call,
        {.stage = Stage::TextNameResponse, .reason = Reason::ExpectedDataNotReceived, .expectedCount = kAnswerDigits});
  return State::CHECKING_FOR_ADD_NAME_MATCH;
}

// Whether the first recipient's name matched shows in what the
// gateway does next: it sends the message or gives it up.
State POST_NAME_MATCH(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kOctelResponseStatus) {
    keepRefusal(call);
    return State::POST_NAME_MATCH;
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
  if (callEnding(call, code))
    return abandon(
        call,
        {.stage = Stage::TextNameResponse, .reason = Reason::ExpectedDataNotReceived, .expectedCount = kAnswerDigits});
  return State::POST_NAME_MATCH;
}

// The same for a further recipient: it is added or refused.
State POST_ADD_NAME_MATCH(Call& call, int code) {
  if (code == ec::kOctelResponseStatus) {
    keepRefusal(call);
    return State::POST_ADD_NAME_MATCH;
  }
  if (code == ec::kAddedRecipient || code == ec::kCouldNotSendToRecipient) {
    addAdditionalRecipient(call, code);
    return State::SEND_ADDITIONAL_RECIPIENTS;
  }
  if (callEnding(call, code))
    return abandonTask(
        call,
        {.stage = Stage::TextNameResponse, .reason = Reason::ExpectedDataNotReceived, .expectedCount = kAnswerDigits});
  return State::POST_ADD_NAME_MATCH;
}

// The 48 digits of the text name the node sends.
State RETRIEVING_NAME(Call& call, int code) {
  if (code == ec::kReceivedDigits)
    return digitCountCheck(call, kReceivedTextNameDigits, Stage::TextNameTransmission, true)
               ? State::PROCESS_RETRIEVED_TEXT_NAME
               : State::Leave;
  if (callEnding(call, code))
    return abandonTask(call, {.stage = Stage::TextNameTransmission,
                              .reason = Reason::ExpectedDataNotReceived,
                              .expectedCount = kReceivedTextNameDigits});
  return State::RETRIEVING_NAME;
}

// The name the gateway decoded, between double quotes, or none.
State PROCESS_RETRIEVED_TEXT_NAME(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kNameForMailbox) {
    splitAtQuote(module);
    if (const std::string* name = wordAt(call, 1)) module.records.task(call.state).textnamereceived = *name;
    count(call, kTextNamesReceived);
    return State::GET_NEXT_NAME;
  }
  if (code == ec::kCouldNotRetrieveName) {
    module.records.task(call.state).textnamereceived = "[not available]";
    endOpenTask(module, false);
    return State::GET_NEXT_NAME;
  }
  if (callEnding(call, code))
    return abandonTask(call, {.stage = Stage::TextNameTransmission, .reason = Reason::Unknown});
  return State::PROCESS_RETRIEVED_TEXT_NAME;
}

// The gateway asks for the spoken name, goes on to the next
// mailbox, or is done.
State GET_NEXT_NAME(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kPlayingLong) {
    if (splitDigits(call) == kVoiceNameRequestDigits) return State::RECORDING_VOICE_NAME;
    return abandonTask(call, {.stage = Stage::RequestForVoiceName, .reason = Reason::Unknown});
  }
  if (code == ec::kCompletedRetrievingNames) {
    endOpenTask(module, true);
    return State::COMPLETED_RETRIEVING_NAMES;
  }
  if (code == ec::kRetrievingName) {
    endOpenTask(module, true);
    startRetrievalTask(call);
    return State::RETRIEVING_NAME;
  }
  if (callEnding(call, code))
    return abandonTask(call, {.stage = Stage::RequestForVoiceName, .reason = Reason::Unknown});
  return State::GET_NEXT_NAME;
}

// The spoken name is recorded until "#".
State RECORDING_VOICE_NAME(Call& call, int code) {
  if (code == ec::kReceivedPound) return State::END_OF_VOICE_NAME_RECORD;
  if (callEnding(call, code))
    return abandonTask(call, {.stage = Stage::AudioTerminator,
                              .reason = Reason::ExpectedDataNotReceived,
                              .expectedDigits = "#",
                              .expectedCount = 1});
  return State::RECORDING_VOICE_NAME;
}

// The gateway has the spoken name.  It is counted also when the
// text name could not be retrieved and the task has ended already.
State END_OF_VOICE_NAME_RECORD(Call& call, int code) {
  CallModule& module = call.module;
  if (code == ec::kNameRecordingComplete) {
    module.records.task(call.state).recordingreceived = true;
    count(call, kVoiceNamesReceived);
    endOpenTask(module, true);
    return State::GET_NEXT_NAME_AFTER_RECORD;
  }
  if (callEnding(call, code)) return abandonTask(call, {.stage = Stage::RecordingVoiceName, .reason = Reason::Unknown});
  return State::END_OF_VOICE_NAME_RECORD;
}

// The next mailbox or the end of the names; the task has ended.
State GET_NEXT_NAME_AFTER_RECORD(Call& call, int code) {
  if (code == ec::kCompletedRetrievingNames) return State::COMPLETED_RETRIEVING_NAMES;
  if (code == ec::kRetrievingName) {
    startRetrievalTask(call);
    return State::RETRIEVING_NAME;
  }
  if (callEnding(call, code)) return abandon(call, {.stage = Stage::RequestForVoiceName, .reason = Reason::Unknown});
  return State::GET_NEXT_NAME_AFTER_RECORD;
}

}  // namespace travik::outbound
