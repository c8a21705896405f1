// The states of the outbound call machine, shared by its three source files:
// outbound_call_machine.cpp holds the frame and the call set-up (states 1 to
// 5), outbound_call_machine_delivery.cpp the message delivery (states 6 to
// 13, 29 and 30), outbound_call_machine_recipients.cpp the additional
// recipients, outbound fax, text-name match and name retrieval (states 14 to
// 28).
//
// Each state is a function named after the state.  It reads one event
// (nextEvent; the call is left open at the end of the events), classifies
// it, runs the action of the first test that holds and returns the state to
// go to: itself for an event it ignores, Leave after the call has ended, has
// been abandoned, or is left open.  Error report lines of a state carry the
// state's name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "processing/call_module.h"
#include "processing/failure_codes.h"

namespace travik::outbound {

// In the order of their numbers, 1 to 30.
enum class State {
  Leave,
  CALL_OUT_INITIATED,
  CALL_ANSWER_OK,
  WAKEUPRESPONSE_RECEIVED_OK,
  LINESYNCRESPONSE_RECEIVED_OK,
  SESSIONHEADERRESPONSE_RECEIVED_OK,
  WAIT_FOR_MESSAGE_HEADER_RESPONSE,
  MESSAGEHEADERRESPONSE_RECEIVED_OK,
  COULD_NOT_SEND_MESSAGE,
  MESSAGE_NOT_DELIVERED,
  SENDING_MESSAGE,
  AUDIO_PLAY_COMPLETE,
  RECEIVED_EIGHT,
  SAVE_RESPONSE_OK,
  SEND_ADDITIONAL_RECIPIENTS,
  WAIT_FOR_ADD_RECIPIENT_RESPONSE,
  ADDRESS_ADDITIONAL_RECIPIENTS,
  SENDING_OUTBOUND_FAX,
  WAIT_FOR_OUTBOUND_FAX_COMPLETE,
  CHECKING_FOR_NAME_MATCH,
  CHECKING_FOR_ADD_NAME_MATCH,
  POST_NAME_MATCH,
  POST_ADD_NAME_MATCH,
  RETRIEVING_NAME,
  PROCESS_RETRIEVED_TEXT_NAME,
  GET_NEXT_NAME,
  RECORDING_VOICE_NAME,
  END_OF_VOICE_NAME_RECORD,
  GET_NEXT_NAME_AFTER_RECORD,
  COMPLETED_DELIVERING_MESSAGES,
  COMPLETED_RETRIEVING_NAMES,
};

// The first steps of every pass: nextEvent, then false at the end of the
// events (leave, the call stays open); otherwise the event is classified and
// its code returned through `code`.
bool readEvent(CallModule& module, int& code);

// The test every state but the first ends its table with: "Call Out
// Completed.", "Processing messages from node: ... Done" or "Call Status =".
// A "Call Status =" event belongs to the gateway's next call, so the cursor
// steps back one row before the state ends this call; the line walk then
// opens the next call on it.
bool callEnding(CallModule& module, int code, std::string_view state);

// Split, then the length of the digits (word 1) in characters.
std::int32_t splitDigits(CallModule& module, std::string_view state);

// Split, then the Octel response code (word 3) as a 16-bit whole number; a
// missing word or one that is not such a number is reported under the
// state's name and gives nullopt.
std::optional<int> responseCode(CallModule& module, std::string_view state);

// Ends the current task unless it has ended already: after "Could not
// retrieve Name" the task is over, and ending it again would move its end
// and mark it incomplete twice.
void endOpenTask(CallModule& module, bool complete);

// callAbend with the stage's and reason's texts; the machine leaves after it.
State abandon(CallModule& module, Stage stage, Reason reason, std::string_view expected, std::string_view received,
              std::int32_t expectedCount, std::int32_t receivedCount);
// Ends the open task incomplete, then abandons.
State abandonTask(CallModule& module, Stage stage, Reason reason, std::string_view expected, std::string_view received,
                  std::int32_t expectedCount, std::int32_t receivedCount);
// Marks the message's last recipient as not delivered, ends the task
// incomplete, then abandons.
State abandonMessage(CallModule& module, Stage stage, Reason reason, std::string_view expected,
                     std::string_view received, std::int32_t expectedCount, std::int32_t receivedCount);

// The digit-count check of a digits event against `expected` digits: the
// right length followed by anything but a bare "Received" is success (true);
// otherwise the call is abandoned at `stage` with reason 8, 16, 7 or 6 and
// false returned.  With `endTaskFirst` the open task is ended incomplete
// before the abandonment.
bool digitCountCheck(CallModule& module, std::string_view state, std::int32_t expected, Stage stage, bool endTaskFirst);

// An "Admin-Retrieval" task for the mailbox named by word 4 of the event;
// counts the name requested.  States 7, 25 and 28 start one on "Retrieving
// Name for mailbox".
void startRetrievalTask(CallModule& module, std::string_view state);

// Counter of the call row, in place.
inline void count(CallModule& module, CallCounter counter) { module.records.call().counters[counter] += 1; }

State CALL_OUT_INITIATED(CallModule& module);
State CALL_ANSWER_OK(CallModule& module);
State WAKEUPRESPONSE_RECEIVED_OK(CallModule& module);
State LINESYNCRESPONSE_RECEIVED_OK(CallModule& module);
State SESSIONHEADERRESPONSE_RECEIVED_OK(CallModule& module);
State WAIT_FOR_MESSAGE_HEADER_RESPONSE(CallModule& module);
State MESSAGEHEADERRESPONSE_RECEIVED_OK(CallModule& module);
State COULD_NOT_SEND_MESSAGE(CallModule& module);
State MESSAGE_NOT_DELIVERED(CallModule& module);
State SENDING_MESSAGE(CallModule& module);
State AUDIO_PLAY_COMPLETE(CallModule& module);
State RECEIVED_EIGHT(CallModule& module);
State SAVE_RESPONSE_OK(CallModule& module);
State SEND_ADDITIONAL_RECIPIENTS(CallModule& module);
State WAIT_FOR_ADD_RECIPIENT_RESPONSE(CallModule& module);
State ADDRESS_ADDITIONAL_RECIPIENTS(CallModule& module);
State SENDING_OUTBOUND_FAX(CallModule& module);
State WAIT_FOR_OUTBOUND_FAX_COMPLETE(CallModule& module);
State CHECKING_FOR_NAME_MATCH(CallModule& module);
State CHECKING_FOR_ADD_NAME_MATCH(CallModule& module);
State POST_NAME_MATCH(CallModule& module);
State POST_ADD_NAME_MATCH(CallModule& module);
State RETRIEVING_NAME(CallModule& module);
State PROCESS_RETRIEVED_TEXT_NAME(CallModule& module);
State GET_NEXT_NAME(CallModule& module);
State RECORDING_VOICE_NAME(CallModule& module);
State END_OF_VOICE_NAME_RECORD(CallModule& module);
State GET_NEXT_NAME_AFTER_RECORD(CallModule& module);
State COMPLETED_DELIVERING_MESSAGES(CallModule& module);
State COMPLETED_RETRIEVING_NAMES(CallModule& module);

}  // namespace travik::outbound
