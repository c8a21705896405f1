// Event classification: every trace text reduced to one event-type code.
//
// The call reconstruction never reads a trace text freely.  Before any
// decision the line walk and both call machines reduce the event's text to a
// small code with classifyEvent(): the gateway's own phrases, tried in a fixed
// order, first match wins.  The codes carry no encoding; they are compared for
// equality only.  Each class is named after the phrase behind it; the rule
// table of the classifier and every test of the walk and the machines use
// these names.  The enumeration is unscoped so that a code kept in an int
// (the cursor's remembered code, the module's dataType) compares with them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace travik {

namespace event_code {
enum Code : int {
  kReadNameFromDb = 1,                // "Read Name from DB. Name for mailbox"
  kPlayingSpokenName = 2,             // "Playing Spoken Name for mailbox"
  kRetrievingName = 3,                // "Retrieving Name for mailbox"
  kAddedRecipient = 4,                // "Added Recepient mailbox"
  kBeginMailboxUpdate = 5,            // "Begin Mailbox Update"
  kCallEstablishedFromSerial = 6,     // "Call established from Serial #"
  kCallOutCompleted = 7,              // "Call Out Completed."
  kCallOutProcessInitiated = 8,       // "Call Out Process Initiated for Node"
  kCallReceivedFromSerial = 9,        // "Call received from Serial #"
  kCallReceived = 10,                 // "Call Received."
  kCallStatus = 11,                   // "Call Status ="
  kCompletedDeliveringMessages = 12,  // "Completed delivering Messages"
  kCompletedRetrievingNames = 13,     // "Completed Retrieving Names"
  kCouldNotRetrieveName = 14,         // "Could not retrieve Name for mailbox"
  kInvalidProtocolLevel = 15,         // "Decrypts with invalid Protocol Level ="
  kCommunicationProblems = 16,        // "Encountered communication problems with this Node"
  kEndMailboxUpdate = 17,             // "End Mailbox Update"
  kIncomingCallCompleted = 18,        // "Incoming Call Completed."
  kInitialHandshakeFailed = 19,       // "Initial handshake failed. Received either bad data"
  kMessageDelivered = 20,             // "Message Delivered"
  kMessageSaved = 21,                 // "Message Saved"
  kNameForMailbox = 22,               // "Name for mailbox"
  kNameRecordingComplete = 23,        // "Name Recording complete for mailbox"
  kNewMessageFromMailbox = 24,        // "New Message from mailbox"
  kNoMessagesToDeliver = 25,          // "No messages to deliver"
  kNoNamesToRetrieve = 26,            // "No names to retrieve"
  kPlayingLong = 27,                  // "Playing " + more than 12 characters, no "\"
  kPlayingPound = 28,                 // "Playing #"
  kPlaying1Sph = 29,                  // "Playing 1.sph"
  kPlaying7 = 30,                     // "Playing 7"
  kPlaying8 = 31,                     // "Playing 8"
  kPlaying9 = 32,                     // "Playing 9"
  kPlayingBD = 33,                    // "Playing BD"
  kPlayingCDD = 34,                   // "Playing CDD"
  kPlayingChime = 35,                 // "Playing chime"
  kPlayingCompleted = 36,             // "Playing completed"
  kPlayingFile = 37,                  // "Playing " with a "\" (a prompt file)
  kPlayingVoice = 38,                 // "Playing Voice"
  kProcessingNameRequest = 39,        // "Processing Name Request for mailbox"
  kProcessingPendingCallout = 40,     // "Processing Pending Callout to Node"
  kProtocolLevel = 41,                // "Protocol Level ="
  kReceivedNothing = 42,              // exactly "Received"
  kReceivedPound = 43,                // "Received #", "Received ##"
  kReceivedDigits = 44,               // "Received " + DTMF digits
  kReceived7 = 45,                    // "Received 7"
  kReceived8 = 46,                    // "Received 8"
  kReceived9 = 47,                    // "Received 9"
  kReceivedBD = 48,                   // "Received BD"
  kReceivedCDD = 49,                  // "Received CDD"
  kReceivedCD = 50,                   // "Received CD"
  kNotConfiguredOnVarnel = 51,        // "that is not configured on Varnel. This call will be abandoned"
  kReceivingFax = 52,                 // "Receiving Fax"
  kReceivingFaxFile = 53,             // "Receiving Fax" with a "\"
  kReceivingFaxComplete = 54,         // "Receiving Fax complete"
  kRecordingCompleted = 55,           // "Recording completed"
  kRecordingFile = 56,                // "Recording" with a "\"
  kRecordingVoice = 57,               // "Recording Voice"
  kSendingFax = 58,                   // "Sending Fax"
  kSendingFaxFile = 59,               // "Sending Fax" with a "\"
  kSendingFaxCompleted = 60,          // "Sending Fax completed"
  kSendingMessage = 61,               // "Sending Message from mailbox"
  kCouldNotSendMessage = 62,          // "Could NOT send Message"
  kMessageNotDelivered = 63,          // "Message NOT Delivered"
  kCouldNotSendToRecipient = 64,      // "Could NOT send to Recepient mailbox"
  kLineMonitor = 65,                  // line-monitor, port-lock and alert texts
  kOctelResponseStatus = 66,          // "Octel response status:"
  kBdAfterCdd = 67,                   // "Received BD after sending CDD - terminating call."
  kProcessingMessagesFromNode = 68,   // "Processing messages from node:" without "Done"
  kProcessingMessagesDone = 69,       // "Processing messages from node:" with "Done"
  kProcessingNamePush = 70,           // "Processing Name Push for mailbox"
  kAcceptNamePush = 71,               // "Accept Name Push for mailbox"
  kRejectNamePush = 72,               // "Reject Name Push for mailbox"
  kReceiveAliasResponse = 73,         // "Receive alias response for mailbox"
  kSendAdminResponseAcceptText = 74,  // "Send admin response to accept text name for mailbox"
  kReceiveTextName = 75,              // "Receive text name for mailbox"
  kBeginAddingMailbox = 76,           // "Begin Adding Mailbox"
  kEndAddingMailbox = 77,             // "End Adding Mailbox"
  kUpdateMailboxName = 78,            // "Update mailbox name and set status = Retrieved for mailbox"
  kReceivePoundAndUpdate = 79,        // "Receive # and update status=Retrieved for mailbox"
  kDeleteSpokenName = 80,             // "Mailbox exists. Delete spokename for mailbox"
  kSendAdminResponseFlag = 81,        // "Send admin response with nFlag"
  kReceiveAdminResponseFlag = 82,     // "Receive admin response with nFlag="
  kNamePushTextOnly = 83,             // "Name Push with text name only for mailbox"
  kRecordingSpokenName = 84,          // "Recording Spoken Name for mailbox"
  kNamePushSpokenName = 85,           // "Name Push with Spoken Name for mailbox"
  kUnrecognised = 999,                // no rule holds
};
}  // namespace event_code

// The event-type code of a trace text.  Letter case is ignored, nothing is
// trimmed; lengths count characters, not bytes.
event_code::Code classifyEvent(std::string_view data);

// The text stored with a recipient for an Octel response status; "" for 0 and
// for any code outside 1 to 26.
std::string_view setOctelResponseString(int code);

// Length of a text in characters (the texts are UTF-8).
std::size_t textLength(std::string_view text);

// The text with its letters a-z upper-cased.
std::string upperCase(std::string_view text);
// Whether `phrase` occurs in `text`, without regard to letter case.
bool containsIgnoringCase(std::string_view text, std::string_view phrase);

}  // namespace travik
