// Event classification: every trace text reduced to one event-type code.
//
// The call reconstruction never reads a trace text freely.  Before any
// decision the line walk and both call machines reduce the event's text to a
// small code with classifyEvent(): the gateway's own phrases, tried in a fixed
// order, first match wins.  The codes carry no encoding; they are compared for
// equality only.  The named constants below are the codes the walk and the
// machines test, named after the phrase behind them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace travik {

namespace event_code {
inline constexpr int kReadNameFromDb = 1;                // "Read Name from DB. Name for mailbox"
inline constexpr int kPlayingSpokenName = 2;             // "Playing Spoken Name for mailbox"
inline constexpr int kRetrievingName = 3;                // "Retrieving Name for mailbox"
inline constexpr int kAddedRecipient = 4;                // "Added Recepient mailbox"
inline constexpr int kBeginMailboxUpdate = 5;            // "Begin Mailbox Update"
inline constexpr int kCallEstablishedFromSerial = 6;     // "Call established from Serial #"
inline constexpr int kCallOutCompleted = 7;              // "Call Out Completed."
inline constexpr int kCallOutProcessInitiated = 8;       // "Call Out Process Initiated for Node"
inline constexpr int kCallReceivedFromSerial = 9;        // "Call received from Serial #"
inline constexpr int kCallReceived = 10;                 // "Call Received."
inline constexpr int kCallStatus = 11;                   // "Call Status ="
inline constexpr int kCompletedDeliveringMessages = 12;  // "Completed delivering Messages"
inline constexpr int kCompletedRetrievingNames = 13;     // "Completed Retrieving Names"
inline constexpr int kCouldNotRetrieveName = 14;         // "Could not retrieve Name for mailbox"
inline constexpr int kInvalidProtocolLevel = 15;         // "Decrypts with invalid Protocol Level ="
inline constexpr int kCommunicationProblems = 16;        // "Encountered communication problems with this Node"
inline constexpr int kEndMailboxUpdate = 17;             // "End Mailbox Update"
inline constexpr int kIncomingCallCompleted = 18;        // "Incoming Call Completed."
inline constexpr int kInitialHandshakeFailed = 19;       // "Initial handshake failed. Received either bad data"
inline constexpr int kMessageDelivered = 20;             // "Message Delivered"
inline constexpr int kMessageSaved = 21;                 // "Message Saved"
inline constexpr int kNameForMailbox = 22;               // "Name for mailbox"
inline constexpr int kNameRecordingComplete = 23;        // "Name Recording complete for mailbox"
inline constexpr int kNewMessageFromMailbox = 24;        // "New Message from mailbox"
inline constexpr int kNoMessagesToDeliver = 25;          // "No messages to deliver"
inline constexpr int kNoNamesToRetrieve = 26;            // "No names to retrieve"
inline constexpr int kPlayingLong = 27;                  // "Playing " + more than 12 characters, no "\"
inline constexpr int kPlayingPound = 28;                 // "Playing #"
inline constexpr int kPlaying1Sph = 29;                  // "Playing 1.sph"
inline constexpr int kPlaying7 = 30;                     // "Playing 7"
inline constexpr int kPlaying8 = 31;                     // "Playing 8"
inline constexpr int kPlaying9 = 32;                     // "Playing 9"
inline constexpr int kPlayingBD = 33;                    // "Playing BD"
inline constexpr int kPlayingCDD = 34;                   // "Playing CDD"
inline constexpr int kPlayingChime = 35;                 // "Playing chime"
inline constexpr int kPlayingCompleted = 36;             // "Playing completed"
inline constexpr int kPlayingFile = 37;                  // "Playing " with a "\" (a prompt file)
inline constexpr int kPlayingVoice = 38;                 // "Playing Voice"
inline constexpr int kProcessingNameRequest = 39;        // "Processing Name Request for mailbox"
inline constexpr int kProcessingPendingCallout = 40;     // "Processing Pending Callout to Node"
inline constexpr int kProtocolLevel = 41;                // "Protocol Level ="
inline constexpr int kReceivedNothing = 42;              // exactly "Received"
inline constexpr int kReceivedPound = 43;                // "Received #", "Received ##"
inline constexpr int kReceivedDigits = 44;               // "Received " + DTMF digits
inline constexpr int kReceived7 = 45;                    // "Received 7"
inline constexpr int kReceived8 = 46;                    // "Received 8"
inline constexpr int kReceived9 = 47;                    // "Received 9"
inline constexpr int kReceivedBD = 48;                   // "Received BD"
inline constexpr int kReceivedCDD = 49;                  // "Received CDD"
inline constexpr int kReceivedCD = 50;                   // "Received CD"
inline constexpr int kNotConfiguredOnVarnel = 51;    // "that is not configured on Varnel. This call will be abandoned"
inline constexpr int kReceivingFax = 52;             // "Receiving Fax"
inline constexpr int kReceivingFaxFile = 53;         // "Receiving Fax" with a "\"
inline constexpr int kReceivingFaxComplete = 54;     // "Receiving Fax complete"
inline constexpr int kRecordingCompleted = 55;       // "Recording completed"
inline constexpr int kRecordingFile = 56;            // "Recording" with a "\"
inline constexpr int kRecordingVoice = 57;           // "Recording Voice"
inline constexpr int kSendingFax = 58;               // "Sending Fax"
inline constexpr int kSendingFaxFile = 59;           // "Sending Fax" with a "\"
inline constexpr int kSendingFaxCompleted = 60;      // "Sending Fax completed"
inline constexpr int kSendingMessage = 61;           // "Sending Message from mailbox"
inline constexpr int kCouldNotSendMessage = 62;      // "Could NOT send Message"
inline constexpr int kMessageNotDelivered = 63;      // "Message NOT Delivered"
inline constexpr int kCouldNotSendToRecipient = 64;  // "Could NOT send to Recepient mailbox"
inline constexpr int kLineMonitor = 65;              // line-monitor, port-lock and alert texts
inline constexpr int kOctelResponseStatus = 66;      // "Octel response status:"
inline constexpr int kBdAfterCdd = 67;               // "Received BD after sending CDD - terminating call."
inline constexpr int kProcessingMessagesFromNode = 68;   // "Processing messages from node:" without "Done"
inline constexpr int kProcessingMessagesDone = 69;       // "Processing messages from node:" with "Done"
inline constexpr int kProcessingNamePush = 70;           // "Processing Name Push for mailbox"
inline constexpr int kAcceptNamePush = 71;               // "Accept Name Push for mailbox"
inline constexpr int kRejectNamePush = 72;               // "Reject Name Push for mailbox"
inline constexpr int kReceiveAliasResponse = 73;         // "Receive alias response for mailbox"
inline constexpr int kSendAdminResponseAcceptText = 74;  // "Send admin response to accept text name for mailbox"
inline constexpr int kReceiveTextName = 75;              // "Receive text name for mailbox"
inline constexpr int kBeginAddingMailbox = 76;           // "Begin Adding Mailbox"
inline constexpr int kEndAddingMailbox = 77;             // "End Adding Mailbox"
inline constexpr int kUpdateMailboxName = 78;            // "Update mailbox name and set status = Retrieved for mailbox"
inline constexpr int kReceivePoundAndUpdate = 79;        // "Receive # and update status=Retrieved for mailbox"
inline constexpr int kDeleteSpokenName = 80;             // "Mailbox exists. Delete spokename for mailbox"
inline constexpr int kSendAdminResponseFlag = 81;        // "Send admin response with nFlag"
inline constexpr int kReceiveAdminResponseFlag = 82;     // "Receive admin response with nFlag="
inline constexpr int kNamePushTextOnly = 83;             // "Name Push with text name only for mailbox"
inline constexpr int kRecordingSpokenName = 84;          // "Recording Spoken Name for mailbox"
inline constexpr int kNamePushSpokenName = 85;           // "Name Push with Spoken Name for mailbox"
inline constexpr int kUnrecognised = 999;                // no rule holds
}  // namespace event_code

// The event-type code of a trace text.  Letter case is ignored, nothing is
// trimmed; lengths count characters, not bytes.
int classifyEvent(std::string_view data);

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
