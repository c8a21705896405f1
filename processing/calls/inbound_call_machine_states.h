// The states of the inbound call machine, shared by its two source files:
// inbound_call_machine.cpp holds the message reception,
// inbound_call_machine_admin.cpp the additional recipients, admin requests
// and name transfers.  The frame that reads and classifies each event is in
// call_machine.h.
//
// The transitions.  A row reads: from state, to state (END: the call ends
// complete), and the event that moves it, by its event_code name, with the
// test on its digits.  The step of the from state performs it, or the helper
// named in brackets.  Not listed: an event a state has no row for leaves it
// where it is; an event that breaks the protocol gives the call up (a
// Failure); at the end of the stored events the call is left open.
//
//   CALL_RECEIVED_OK                -> WAKEUP_RECEIVED_OK              ReceivedBD; "BD" before PlayingCDD
//   WAKEUP_RECEIVED_OK              -> WAKEUP_RECEIVED_OK              ReceivedBD again
//   WAKEUP_RECEIVED_OK              -> LINESYNC_RECEIVED_OK            ReceivedDigits: 18 (joined); 19 from "812"
//   LINESYNC_RECEIVED_OK            -> LINESYNC_RECEIVED_OK            ProtocolLevel (keeps the level)
//   LINESYNC_RECEIVED_OK            -> SESSIONHEADER_RECEIVED_OK       ReceivedDigits: 16, decrypted
//   SESSIONHEADER_RECEIVED_OK       -> SESSIONHEADER_RECEIVED_OK       CallReceivedFromSerial (keeps serials)
//   SESSIONHEADER_RECEIVED_OK       -> MESSAGEHEADER_RECEIVED_OK       ReceivedDigits, Received9: 36, decrypted
//   MESSAGEHEADER_RECEIVED_OK       -> MESSAGEINFO_RECEIVED_OK         NewMessageFromMailbox (starts a task)
//   MESSAGEHEADER_RECEIVED_OK       -> GENERICADMINREQUEST_RECEIVED_OK ReceivedDigits: 22, decrypted
//   MESSAGEHEADER_RECEIVED_OK       -> END                             IncomingCallCompleted
//   MESSAGEINFO_RECEIVED_OK         -> MESSAGEINFO_RECEIVED_OK         ReceivedDigits: 46, decrypted
//   MESSAGEINFO_RECEIVED_OK         -> RECORDING_COMPLETED_OK          RecordingCompleted
//   MESSAGEINFO_RECEIVED_OK         -> MESSAGEHEADER_RECEIVED_OK       ReceivedDigits: 36 (recipient refused)
//   RECORDING_COMPLETED_OK          -> RECEIVEDPOUND_OK                ReceivedPound
//   RECEIVEDPOUND_OK                -> RECEIVEDNINE_OK                 Received9 (the message is saved)
//   RECEIVEDPOUND_OK                -> RECEIVING_INBOUND_FAX           Playing7 (a fax follows)
//   RECEIVING_INBOUND_FAX           -> RECEIVING_INBOUND_FAX           ReceivingFax, ReceivingFaxFile
//   RECEIVING_INBOUND_FAX           -> RECEIVEDPOUND_OK                ReceivingFaxComplete
//   RECEIVEDNINE_OK                 -> SESSIONHEADER_RECEIVED_OK       MessageSaved (ends the task)
//   RECEIVEDNINE_OK                 -> ADDITIONAL_RECIPIENT            ReceivedDigits: 24, decrypted
//   ADDITIONAL_RECIPIENT            -> SESSIONHEADER_RECEIVED_OK       MessageSaved (ends the task)
//   ADDITIONAL_RECIPIENT            -> ADDITIONAL_RECIPIENT            AddedRecipient
//   ADDITIONAL_RECIPIENT            -> ADDITIONAL_RECIPIENT            ReceivedDigits: 24 or 46, decrypted
//   ADDITIONAL_RECIPIENT            -> MESSAGEHEADER_RECEIVED_OK       ReceivedDigits: 36, decrypted (ends the task)
//   GENERICADMINREQUEST_RECEIVED_OK -> SESSIONHEADER_RECEIVED_OK       CompletedRetrievingNames
//   GENERICADMINREQUEST_RECEIVED_OK -> PROCESS_TEXT_NAME_SEND          ProcessingNameRequest (starts a task)
//   GENERICADMINREQUEST_RECEIVED_OK -> PROCESS_NAME_PUSH               ProcessingNamePush (starts a task)
//   PROCESS_NAME_PUSH               -> MESSAGEHEADER_RECEIVED_OK       RejectNamePush (ends the task)
//   PROCESS_NAME_PUSH               -> AWAIT_PUSH_ALIAS                AcceptNamePush
//   AWAIT_PUSH_ALIAS                -> PUSH_READ_ALIAS_RESPONSE        ReceivedDigits: 18, decrypted
//   PUSH_READ_ALIAS_RESPONSE        -> AWAIT_PUSH_ASCII                ReceiveAliasResponse (notes "=no")
//   AWAIT_PUSH_ASCII                -> READ_PUSHED_TEXT_NAME           ReceivedDigits: 48, decrypted
//   READ_PUSHED_TEXT_NAME           -> PUSH_TEXT_ONLY_FINISH           ReceiveTextName after "=no"
//   READ_PUSHED_TEXT_NAME           -> PUSH_AWAIT_RECORDED_NAME        ReceiveTextName
//   PUSH_TEXT_ONLY_FINISH           -> MESSAGEHEADER_RECEIVED_OK       SendAdminResponseFlag (ends the task)
//   PUSH_AWAIT_RECORDED_NAME        -> PUSH_AWAIT_RECORDING_DONE       RecordingSpokenName
//   PUSH_AWAIT_RECORDING_DONE       -> PUSH_RECORDING_COMPLETE         ReceivedPound
//   PUSH_RECORDING_COMPLETE         -> MESSAGEHEADER_RECEIVED_OK       SendAdminResponseFlag (ends the task)
//   PROCESS_TEXT_NAME_SEND          -> PROCESS_VOICE_NAME_SEND         ReadNameFromDb
//   PROCESS_TEXT_NAME_SEND          -> MESSAGEHEADER_RECEIVED_OK       PlayingLong: 48 or 18 (ends the task)
//   PROCESS_VOICE_NAME_SEND         -> WAIT_FOR_POUND_SEND             PlayingSpokenName
//   PROCESS_VOICE_NAME_SEND         -> PROCESS_VOICE_NAME_SEND         PlayingLong: 48 or 18; ReceivedDigits: 8
//   PROCESS_VOICE_NAME_SEND         -> MESSAGEHEADER_RECEIVED_OK       PlayingLong: 8 (ends the task)
//   PROCESS_VOICE_NAME_SEND         -> GENERICADMINREQUEST_RECEIVED_OK ReceivedDigits: 22 (ends the task)
//   WAIT_FOR_POUND_SEND             -> FINISH_NAME_SEND                PlayingPound
//   FINISH_NAME_SEND                -> MESSAGEHEADER_RECEIVED_OK       ReceivedDigits: 8, decrypted (ends the task)
#pragma once

#include <cstdint>
#include <string_view>

#include "processing/calls/call_machine.h"

namespace travik::inbound {

// The states in the order of their numbers, 1 to 25; each state's step is
// the function of its name.
#define TRAVIK_INBOUND_STATES(X)     \
  X(CALL_RECEIVED_OK)                \
  X(WAKEUP_RECEIVED_OK)              \
  X(LINESYNC_RECEIVED_OK)            \
  X(SESSIONHEADER_RECEIVED_OK)       \
  X(MESSAGEHEADER_RECEIVED_OK)       \
  X(MESSAGEINFO_RECEIVED_OK)         \
  X(RECORDING_COMPLETED_OK)          \
  X(RECEIVEDPOUND_OK)                \
  X(RECEIVING_INBOUND_FAX)           \
  X(RECEIVEDNINE_OK)                 \
  X(ADDITIONAL_RECIPIENT)            \
  X(GENERICADMINREQUEST_RECEIVED_OK) \
  X(PROCESS_NAME_PUSH)               \
  X(AWAIT_PUSH_ALIAS)                \
  X(PUSH_READ_ALIAS_RESPONSE)        \
  X(AWAIT_PUSH_ASCII)                \
  X(READ_PUSHED_TEXT_NAME)           \
  X(PUSH_TEXT_ONLY_FINISH)           \
  X(PUSH_AWAIT_RECORDED_NAME)        \
  X(PUSH_AWAIT_RECORDING_DONE)       \
  X(PUSH_RECORDING_COMPLETE)         \
  X(PROCESS_TEXT_NAME_SEND)          \
  X(PROCESS_VOICE_NAME_SEND)         \
  X(WAIT_FOR_POUND_SEND)             \
  X(FINISH_NAME_SEND)

enum class State { Leave, TRAVIK_INBOUND_STATES(TRAVIK_STATE_ENUMERATOR) };

// One inbound call being rebuilt.
struct Call : MachineCall {
  using State = inbound::State;
  explicit Call(CallModule& module) : MachineCall(module, [](CallModule& m) { endTask(m, false); }) {}

  // The wake-up digits were 19 long and began "812".
  bool wakeup812Received = false;
  // The alias response of the name being pushed said "=no": the node pushes
  // the text name only.  Every task the machine starts clears it.
  bool aliasResponseNo = false;
};

TRAVIK_INBOUND_STATES(TRAVIK_STATE_STEP)

inline constexpr StateRow<Call> kStates[] = {TRAVIK_INBOUND_STATES(TRAVIK_STATE_ROW)};

}  // namespace travik::inbound
