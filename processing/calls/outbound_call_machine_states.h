// The states of the outbound call machine, shared by its three source files:
// outbound_call_machine.cpp holds the call set-up, up to the session header,
// outbound_call_machine_delivery.cpp the message delivery,
// outbound_call_machine_recipients.cpp the additional recipients, outbound
// fax, text-name match and name retrieval.  The frame that reads and
// classifies each event is in call_machine.h.
//
// The transitions.  A row reads: from state, to state (END: the call ends
// complete), and the event that moves it, by its event_code name, with the
// test on its digits.  The step of the from state performs it, or the helper
// named in brackets.  "call ending" is the group every state but the first
// ends its table with (callEnding).  Not listed: an event a state has no row
// for leaves it where it is; an event that breaks the protocol gives the
// call up (a Failure); at the end of the stored events the call is left open.
//
//   CALL_OUT_INITIATED                -> CALL_OUT_INITIATED                ProcessingMessagesFromNode (serials)
//   CALL_OUT_INITIATED                -> CALL_ANSWER_OK                    CallStatus "Answer" or unreadable
//   CALL_OUT_INITIATED                -> END                               NoMessagesToDeliver, NoNamesToRetrieve
//   CALL_ANSWER_OK                    -> WAKEUPRESPONSE_RECEIVED_OK        ReceivedCDD; "CDD" before PlayingLong
//   WAKEUPRESPONSE_RECEIVED_OK        -> LINESYNCRESPONSE_RECEIVED_OK      ReceivedDigits: 14 (joined)
//   LINESYNCRESPONSE_RECEIVED_OK      -> LINESYNCRESPONSE_RECEIVED_OK      ProtocolLevel (keeps the level)
//   LINESYNCRESPONSE_RECEIVED_OK      -> SESSIONHEADERRESPONSE_RECEIVED_OK ReceivedDigits: 16, decrypted
//   SESSIONHEADERRESPONSE_RECEIVED_OK -> WAIT_FOR_MESSAGE_HEADER_RESPONSE  CallEstablishedFromSerial
//   WAIT_FOR_MESSAGE_HEADER_RESPONSE  -> MESSAGEHEADERRESPONSE_RECEIVED_OK ReceivedDigits: 6, decrypted
//   WAIT_FOR_MESSAGE_HEADER_RESPONSE  -> COMPLETED_DELIVERING_MESSAGES     CompletedDeliveringMessages
//   MESSAGEHEADERRESPONSE_RECEIVED_OK -> MESSAGEHEADERRESPONSE_RECEIVED_OK OctelResponseStatus (outcome text)
//   MESSAGEHEADERRESPONSE_RECEIVED_OK -> CHECKING_FOR_NAME_MATCH           PlayingLong: 46
//   MESSAGEHEADERRESPONSE_RECEIVED_OK -> SENDING_MESSAGE                   SendingMessage (starts a task)
//   MESSAGEHEADERRESPONSE_RECEIVED_OK -> COULD_NOT_SEND_MESSAGE            CouldNotSendMessage (a task, ended)
//   MESSAGEHEADERRESPONSE_RECEIVED_OK -> RETRIEVING_NAME                   RetrievingName (starts a task)
//   MESSAGEHEADERRESPONSE_RECEIVED_OK -> COMPLETED_RETRIEVING_NAMES        CompletedRetrievingNames
//   MESSAGEHEADERRESPONSE_RECEIVED_OK -> END                               call ending
//   COULD_NOT_SEND_MESSAGE            -> WAIT_FOR_MESSAGE_HEADER_RESPONSE  PlayingLong: 36 [nextMessageHeader]
//   COULD_NOT_SEND_MESSAGE            -> MESSAGE_NOT_DELIVERED             MessageNotDelivered
//   MESSAGE_NOT_DELIVERED             -> WAIT_FOR_MESSAGE_HEADER_RESPONSE  PlayingLong: 36 [nextMessageHeader]
//   MESSAGE_NOT_DELIVERED             -> COMPLETED_DELIVERING_MESSAGES     CompletedDeliveringMessages
//   SENDING_MESSAGE                   -> WAIT_FOR_MESSAGE_HEADER_RESPONSE  MessageDelivered (a receipt; ends the task)
//   SENDING_MESSAGE                   -> AUDIO_PLAY_COMPLETE               PlayingPound
//   AUDIO_PLAY_COMPLETE               -> SENDING_OUTBOUND_FAX              Received7 (a fax)
//   AUDIO_PLAY_COMPLETE               -> RECEIVED_EIGHT                    Received8
//   RECEIVED_EIGHT                    -> SAVE_RESPONSE_OK                  Playing9
//   SAVE_RESPONSE_OK                  -> SEND_ADDITIONAL_RECIPIENTS        ReceivedDigits: 6
//   SEND_ADDITIONAL_RECIPIENTS        -> WAIT_FOR_MESSAGE_HEADER_RESPONSE  MessageDelivered (ends the task)
//   SEND_ADDITIONAL_RECIPIENTS        -> WAIT_FOR_ADD_RECIPIENT_RESPONSE   PlayingLong: 24
//   WAIT_FOR_ADD_RECIPIENT_RESPONSE   -> ADDRESS_ADDITIONAL_RECIPIENTS     ReceivedDigits: 6, decrypted
//   ADDRESS_ADDITIONAL_RECIPIENTS     -> ADDRESS_ADDITIONAL_RECIPIENTS     OctelResponseStatus (outcome text)
//   ADDRESS_ADDITIONAL_RECIPIENTS     -> CHECKING_FOR_ADD_NAME_MATCH       PlayingLong: 46
//   ADDRESS_ADDITIONAL_RECIPIENTS     -> SEND_ADDITIONAL_RECIPIENTS        AddedRecipient, CouldNotSendToRecipient
//   SENDING_OUTBOUND_FAX              -> WAIT_FOR_OUTBOUND_FAX_COMPLETE    SendingFax
//   WAIT_FOR_OUTBOUND_FAX_COMPLETE    -> AUDIO_PLAY_COMPLETE               SendingFaxCompleted
//   CHECKING_FOR_NAME_MATCH           -> POST_NAME_MATCH                   ReceivedDigits: 6, decrypted
//   CHECKING_FOR_ADD_NAME_MATCH       -> POST_ADD_NAME_MATCH               ReceivedDigits: 6, decrypted
//   POST_NAME_MATCH                   -> POST_NAME_MATCH                   OctelResponseStatus (outcome text)
//   POST_NAME_MATCH                   -> SENDING_MESSAGE                   SendingMessage (starts a task)
//   POST_NAME_MATCH                   -> COULD_NOT_SEND_MESSAGE            CouldNotSendMessage (a task, ended)
//   POST_ADD_NAME_MATCH               -> POST_ADD_NAME_MATCH               OctelResponseStatus (outcome text)
//   POST_ADD_NAME_MATCH               -> SEND_ADDITIONAL_RECIPIENTS        AddedRecipient, CouldNotSendToRecipient
//   RETRIEVING_NAME                   -> PROCESS_RETRIEVED_TEXT_NAME       ReceivedDigits: 48, decrypted
//   PROCESS_RETRIEVED_TEXT_NAME       -> GET_NEXT_NAME                     NameForMailbox
//   PROCESS_RETRIEVED_TEXT_NAME       -> GET_NEXT_NAME                     CouldNotRetrieveName (ends the task)
//   GET_NEXT_NAME                     -> RECORDING_VOICE_NAME              PlayingLong: 8
//   GET_NEXT_NAME                     -> COMPLETED_RETRIEVING_NAMES        CompletedRetrievingNames (ends the task)
//   GET_NEXT_NAME                     -> RETRIEVING_NAME                   RetrievingName (ends it, starts the next)
//   RECORDING_VOICE_NAME              -> END_OF_VOICE_NAME_RECORD          ReceivedPound
//   END_OF_VOICE_NAME_RECORD          -> GET_NEXT_NAME_AFTER_RECORD        NameRecordingComplete (ends the task)
//   GET_NEXT_NAME_AFTER_RECORD        -> COMPLETED_RETRIEVING_NAMES        CompletedRetrievingNames
//   GET_NEXT_NAME_AFTER_RECORD        -> RETRIEVING_NAME                   RetrievingName (starts a task)
//   COMPLETED_DELIVERING_MESSAGES     -> END                               call ending
//   COMPLETED_RETRIEVING_NAMES        -> END                               call ending
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "processing/calls/call_machine.h"

namespace travik::outbound {

// The states in the order of their numbers, 1 to 30; each state's step is
// the function of its name.
#define TRAVIK_OUTBOUND_STATES(X)      \
  X(CALL_OUT_INITIATED)                \
  X(CALL_ANSWER_OK)                    \
  X(WAKEUPRESPONSE_RECEIVED_OK)        \
  X(LINESYNCRESPONSE_RECEIVED_OK)      \
  X(SESSIONHEADERRESPONSE_RECEIVED_OK) \
  X(WAIT_FOR_MESSAGE_HEADER_RESPONSE)  \
  X(MESSAGEHEADERRESPONSE_RECEIVED_OK) \
  X(COULD_NOT_SEND_MESSAGE)            \
  X(MESSAGE_NOT_DELIVERED)             \
  X(SENDING_MESSAGE)                   \
  X(AUDIO_PLAY_COMPLETE)               \
  X(RECEIVED_EIGHT)                    \
  X(SAVE_RESPONSE_OK)                  \
  X(SEND_ADDITIONAL_RECIPIENTS)        \
  X(WAIT_FOR_ADD_RECIPIENT_RESPONSE)   \
  X(ADDRESS_ADDITIONAL_RECIPIENTS)     \
  X(SENDING_OUTBOUND_FAX)              \
  X(WAIT_FOR_OUTBOUND_FAX_COMPLETE)    \
  X(CHECKING_FOR_NAME_MATCH)           \
  X(CHECKING_FOR_ADD_NAME_MATCH)       \
  X(POST_NAME_MATCH)                   \
  X(POST_ADD_NAME_MATCH)               \
  X(RETRIEVING_NAME)                   \
  X(PROCESS_RETRIEVED_TEXT_NAME)       \
  X(GET_NEXT_NAME)                     \
  X(RECORDING_VOICE_NAME)              \
  X(END_OF_VOICE_NAME_RECORD)          \
  X(GET_NEXT_NAME_AFTER_RECORD)        \
  X(COMPLETED_DELIVERING_MESSAGES)     \
  X(COMPLETED_RETRIEVING_NAMES)

enum class State { Leave, TRAVIK_OUTBOUND_STATES(TRAVIK_STATE_ENUMERATOR) };

// Ends the current task unless it has ended already: after "Could not
// retrieve Name" the task is over, and ending it again would move its end
// and mark it incomplete twice.
void endOpenTask(CallModule& module, bool complete);

// One outbound call being rebuilt.  The machine keeps no variables of its
// own: what it carries from state to state lives in the call records.
struct Call : MachineCall {
  using State = outbound::State;
  explicit Call(CallModule& module) : MachineCall(module, [](CallModule& m) { endOpenTask(m, false); }) {}
};

// The test every state but the first ends its table with: "Call Out
// Completed.", "Processing messages from node: ... Done" or "Call Status =".
// A "Call Status =" event belongs to the gateway's next call, so the cursor
// steps back one row before the state ends this call; the line walk then
// opens the next call on it.
bool callEnding(Call& call, int code);

// Split, then the Octel response code (word 3) as a 16-bit whole number; a
// missing word or one that is not such a number is reported under the
// state's name and gives nullopt.
std::optional<int> responseCode(Call& call);

// Marks the message's last recipient as not delivered, ends the task
// incomplete, then abandons.
State abandonMessage(Call& call, const Failure& failure);

// An "Admin-Retrieval" task for the mailbox named by word 4 of the event;
// counts the name requested.  MESSAGEHEADERRESPONSE_RECEIVED_OK, GET_NEXT_NAME and
// GET_NEXT_NAME_AFTER_RECORD start one on "Retrieving Name for mailbox".
void startRetrievalTask(Call& call);

TRAVIK_OUTBOUND_STATES(TRAVIK_STATE_STEP)

inline constexpr StateRow<Call> kStates[] = {TRAVIK_OUTBOUND_STATES(TRAVIK_STATE_ROW)};

}  // namespace travik::outbound
