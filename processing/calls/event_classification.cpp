#include "processing/calls/event_classification.h"

#include <array>
#include <cstdint>
#include <string>

namespace travik {

namespace {

namespace ec = event_code;

enum class Test { Contains, Equals, StartsWithReceived };

// What a rule does once its main test holds.  A text that fails its
// sub-test, where no other code is named, is unrecognised.
enum class SubTest {
  None,                // the rule's code
  PlayingKind,         // kPlayingFile with a backslash; else the rule's code when longer than 12 characters
  MessagesDone,        // kProcessingMessagesDone with "DONE"; else the rule's code
  ReceivedWithDigits,  // the rule's code when longer than 9 characters
  NeedsBackslash,      // the rule's code with a backslash
};

struct Rule {
  Test test;
  std::string_view phrase;  // upper case, matched against the upper-cased text
  event_code::Code code;
  SubTest subTest = SubTest::None;
};

// The gateway's phrases in the order they are tried; the order matters
// ("Receive text name for mailbox" also contains "NAME FOR MAILBOX").
constexpr std::array kRules{
    Rule{Test::Contains, "READ NAME FROM DB. NAME FOR MAILBOX", ec::kReadNameFromDb},
    Rule{Test::Contains, "PLAYING SPOKEN NAME FOR MAILBOX", ec::kPlayingSpokenName},
    Rule{Test::Contains, "RETRIEVING NAME FOR MAILBOX", ec::kRetrievingName},
    Rule{Test::Contains, "RECEIVE TEXT NAME FOR MAILBOX", ec::kReceiveTextName},
    Rule{Test::Contains, "RECORDING SPOKEN NAME FOR MAILBOX", ec::kRecordingSpokenName},
    Rule{Test::Contains, "LINEMONITOR THREAD IS RUNNING", ec::kLineMonitor},
    Rule{Test::Equals, "WAITING FOR LINEMONITOR THREAD TO TERMINATE", ec::kLineMonitor},
    Rule{Test::Equals, "PLAYEVENT SIGNALED", ec::kLineMonitor},
    Rule{Test::Contains, "PORT IS LOCKED", ec::kLineMonitor},
    Rule{Test::Contains, "BT_STATUS_ALERT", ec::kLineMonitor},
    Rule{Test::Contains, "ALERT STATUS:", ec::kLineMonitor},
    Rule{Test::Contains, "OCTEL RESPONSE STATUS:", ec::kOctelResponseStatus},
    Rule{Test::Contains, "ADDED RECEPIENT MAILBOX", ec::kAddedRecipient},
    Rule{Test::Equals, "BEGIN MAILBOX UPDATE", ec::kBeginMailboxUpdate},
    Rule{Test::Contains, "CALL ESTABLISHED FROM SERIAL #", ec::kCallEstablishedFromSerial},
    Rule{Test::Equals, "CALL OUT COMPLETED.", ec::kCallOutCompleted},
    Rule{Test::Contains, "CALL OUT PROCESS INITIATED FOR NODE", ec::kCallOutProcessInitiated},
    Rule{Test::Contains, "CALL RECEIVED FROM SERIAL #", ec::kCallReceivedFromSerial},
    Rule{Test::Equals, "CALL RECEIVED.", ec::kCallReceived},
    Rule{Test::Contains, "CALL STATUS =", ec::kCallStatus},
    Rule{Test::Equals, "COMPLETED DELIVERING MESSAGES", ec::kCompletedDeliveringMessages},
    Rule{Test::Equals, "COMPLETED RETRIEVING NAMES", ec::kCompletedRetrievingNames},
    Rule{Test::Contains, "COULD NOT RETRIEVE NAME FOR MAILBOX", ec::kCouldNotRetrieveName},
    Rule{Test::Contains, "DECRYPTS WITH INVALID PROTOCOL LEVEL =", ec::kInvalidProtocolLevel},
    Rule{Test::Equals, "ENCOUNTERED COMMUNICATION PROBLEMS WITH THIS NODE", ec::kCommunicationProblems},
    Rule{Test::Equals, "END MAILBOX UPDATE", ec::kEndMailboxUpdate},
    Rule{Test::Equals, "INCOMING CALL COMPLETED.", ec::kIncomingCallCompleted},
    Rule{Test::Contains, "INITIAL HANDSHAKE FAILED. RECEIVED EITHER BAD DATA", ec::kInitialHandshakeFailed},
    Rule{Test::Equals, "MESSAGE DELIVERED", ec::kMessageDelivered},
    Rule{Test::Equals, "MESSAGE SAVED", ec::kMessageSaved},
    Rule{Test::Contains, "NAME FOR MAILBOX", ec::kNameForMailbox},
    Rule{Test::Contains, "NAME RECORDING COMPLETE FOR MAILBOX", ec::kNameRecordingComplete},
    Rule{Test::Contains, "NEW MESSAGE FROM MAILBOX", ec::kNewMessageFromMailbox},
    Rule{Test::Equals, "NO MESSAGES TO DELIVER", ec::kNoMessagesToDeliver},
    Rule{Test::Equals, "NO NAMES TO RETRIEVE", ec::kNoNamesToRetrieve},
    Rule{Test::Equals, "PLAYING #", ec::kPlayingPound},
    Rule{Test::Equals, "PLAYING 1.SPH", ec::kPlaying1Sph},
    Rule{Test::Equals, "PLAYING 7", ec::kPlaying7},
    Rule{Test::Equals, "PLAYING 8", ec::kPlaying8},
    Rule{Test::Equals, "PLAYING 9", ec::kPlaying9},
    Rule{Test::Equals, "PLAYING BD", ec::kPlayingBD},
    Rule{Test::Equals, "PLAYING CDD", ec::kPlayingCDD},
    Rule{Test::Equals, "PLAYING CHIME", ec::kPlayingChime},
    Rule{Test::Equals, "PLAYING COMPLETED", ec::kPlayingCompleted},
    Rule{Test::Equals, "PLAYING VOICE", ec::kPlayingVoice},
    Rule{Test::Contains, "PLAYING ", ec::kPlayingLong, SubTest::PlayingKind},
    Rule{Test::Contains, "PROCESSING NAME REQUEST FOR MAILBOX", ec::kProcessingNameRequest},
    Rule{Test::Contains, "PROCESSING PENDING CALLOUT TO NODE", ec::kProcessingPendingCallout},
    Rule{Test::Contains, "PROCESSING MESSAGES FROM NODE:", ec::kProcessingMessagesFromNode, SubTest::MessagesDone},
    Rule{Test::Contains, "PROTOCOL LEVEL =", ec::kProtocolLevel},
    Rule{Test::Equals, "RECEIVED", ec::kReceivedNothing},
    Rule{Test::Equals, "RECEIVED #", ec::kReceivedPound},
    Rule{Test::Equals, "RECEIVED ##", ec::kReceivedPound},
    Rule{Test::Equals, "RECEIVED 7", ec::kReceived7},
    Rule{Test::Equals, "RECEIVED 8", ec::kReceived8},
    Rule{Test::Equals, "RECEIVED 9", ec::kReceived9},
    Rule{Test::Equals, "RECEIVED CDD", ec::kReceivedCDD},
    Rule{Test::Equals, "RECEIVED BD", ec::kReceivedBD},
    Rule{Test::Equals, "RECEIVED BD AFTER SENDING CDD - TERMINATING CALL.", ec::kBdAfterCdd},
    Rule{Test::Equals, "RECEIVED CD", ec::kReceivedCD},
    Rule{Test::Contains, "THAT IS NOT CONFIGURED ON VARNEL. THIS CALL WILL BE ABANDONED", ec::kNotConfiguredOnVarnel},
    Rule{Test::StartsWithReceived, "RECEIVED ", ec::kReceivedDigits, SubTest::ReceivedWithDigits},
    Rule{Test::Equals, "RECEIVING FAX", ec::kReceivingFax},
    Rule{Test::Equals, "RECEIVING FAX COMPLETE", ec::kReceivingFaxComplete},
    Rule{Test::Contains, "RECEIVING FAX", ec::kReceivingFaxFile, SubTest::NeedsBackslash},
    Rule{Test::Equals, "RECORDING COMPLETED", ec::kRecordingCompleted},
    Rule{Test::Equals, "RECORDING VOICE", ec::kRecordingVoice},
    Rule{Test::Contains, "RECORDING", ec::kRecordingFile, SubTest::NeedsBackslash},
    Rule{Test::Equals, "SENDING FAX", ec::kSendingFax},
    Rule{Test::Equals, "SENDING FAX COMPLETED", ec::kSendingFaxCompleted},
    Rule{Test::Contains, "SENDING FAX", ec::kSendingFaxFile, SubTest::NeedsBackslash},
    Rule{Test::Contains, "SENDING MESSAGE FROM MAILBOX", ec::kSendingMessage},
    Rule{Test::Contains, "COULD NOT SEND MESSAGE", ec::kCouldNotSendMessage},
    Rule{Test::Equals, "MESSAGE NOT DELIVERED", ec::kMessageNotDelivered},
    Rule{Test::Contains, "COULD NOT SEND TO RECEPIENT MAILBOX", ec::kCouldNotSendToRecipient},
    Rule{Test::Contains, "PROCESSING NAME PUSH FOR MAILBOX", ec::kProcessingNamePush},
    Rule{Test::Contains, "ACCEPT NAME PUSH FOR MAILBOX", ec::kAcceptNamePush},
    Rule{Test::Contains, "REJECT NAME PUSH FOR MAILBOX", ec::kRejectNamePush},
    Rule{Test::Contains, "RECEIVE ALIAS RESPONSE FOR MAILBOX", ec::kReceiveAliasResponse},
    Rule{Test::Contains, "SEND ADMIN RESPONSE TO ACCEPT TEXT NAME FOR MAILBOX", ec::kSendAdminResponseAcceptText},
    Rule{Test::Contains, "UPDATE MAILBOX NAME AND SET STATUS = RETRIEVED FOR MAILBOX", ec::kUpdateMailboxName},
    Rule{Test::Contains, "RECEIVE # AND UPDATE STATUS=RETRIEVED FOR MAILBOX", ec::kReceivePoundAndUpdate},
    Rule{Test::Contains, "MAILBOX EXISTS. DELETE SPOKENAME FOR MAILBOX", ec::kDeleteSpokenName},
    Rule{Test::Contains, "SEND ADMIN RESPONSE WITH NFLAG", ec::kSendAdminResponseFlag},
    Rule{Test::Contains, "RECEIVE ADMIN RESPONSE WITH NFLAG=", ec::kReceiveAdminResponseFlag},
    Rule{Test::Contains, "NAME PUSH WITH TEXT NAME ONLY FOR MAILBOX", ec::kNamePushTextOnly},
    Rule{Test::Contains, "NAME PUSH WITH SPOKEN NAME FOR MAILBOX", ec::kNamePushSpokenName},
    Rule{Test::Equals, "BEGIN ADDING MAILBOX", ec::kBeginAddingMailbox},
    Rule{Test::Equals, "END ADDING MAILBOX", ec::kEndAddingMailbox},
};
static_assert(kRules.size() == 89);

constexpr char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// One bit per byte value modulo 64: a text can hold a phrase only when it
// holds every bit of the phrase's mask.  Most texts fail most rules on that
// test alone, before any search.
constexpr std::uint64_t byteMask(std::string_view text) {
  std::uint64_t mask = 0;
  for (const char c : text) mask |= std::uint64_t{1} << (static_cast<unsigned char>(c) & 63);
  return mask;
}

constexpr std::array<std::uint64_t, kRules.size()> kPhraseMasks = [] {
  std::array<std::uint64_t, kRules.size()> masks{};
  for (std::size_t i = 0; i < kRules.size(); ++i) masks[i] = byteMask(kRules[i].phrase);
  return masks;
}();

bool holds(const Rule& rule, std::string_view upper) {
  switch (rule.test) {
    case Test::Contains: return upper.find(rule.phrase) != std::string_view::npos;
    case Test::Equals: return upper == rule.phrase;
    case Test::StartsWithReceived: return upper.substr(0, rule.phrase.size()) == rule.phrase;
  }
  return false;
}

ec::Code subTestCode(const Rule& rule, std::string_view upper) {
  const bool backslash = upper.find('\\') != std::string_view::npos;
  switch (rule.subTest) {
    case SubTest::None: return rule.code;
    case SubTest::PlayingKind:
      if (backslash) return ec::kPlayingFile;
      return textLength(upper) > 12 ? rule.code : ec::kUnrecognised;
    case SubTest::MessagesDone:
      return upper.find("DONE") != std::string_view::npos ? ec::kProcessingMessagesDone : rule.code;
    case SubTest::ReceivedWithDigits: return textLength(upper) > 9 ? rule.code : ec::kUnrecognised;
    case SubTest::NeedsBackslash: return backslash ? rule.code : ec::kUnrecognised;
  }
  return ec::kUnrecognised;
}

}  // namespace

std::size_t textLength(std::string_view text) {
  std::size_t length = 0;
  for (const char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++length;
  return length;
}

std::string upperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = upperAscii(c);
  return upper;
}

bool containsIgnoringCase(std::string_view text, std::string_view phrase) {
  // As upperCase(text).find(upperCase(phrase)), without the copies.
  if (phrase.size() > text.size()) return false;
  for (std::size_t at = 0; at + phrase.size() <= text.size(); ++at) {
    std::size_t i = 0;
    while (i < phrase.size() && upperAscii(text[at + i]) == upperAscii(phrase[i])) ++i;
    if (i == phrase.size()) return true;
  }
  return false;
}

event_code::Code classifyEvent(std::string_view data) {
  // Trace texts are at most 254 characters; longer ones go to the heap.
  std::array<char, 1024> local;
  std::string heap;
  char* buffer = local.data();
  if (data.size() > local.size()) {
    heap.resize(data.size());
    buffer = heap.data();
  }
  for (std::size_t i = 0; i < data.size(); ++i) buffer[i] = upperAscii(data[i]);
  const std::string_view upper(buffer, data.size());

  const std::uint64_t textMask = byteMask(upper);
  for (std::size_t i = 0; i < kRules.size(); ++i) {
    if ((kPhraseMasks[i] & ~textMask) != 0) continue;
    if (holds(kRules[i], upper)) return subTestCode(kRules[i], upper);
  }
  return ec::kUnrecognised;
}

std::string_view setOctelResponseString(int code) {
  static constexpr std::array<std::string_view, 27> kTexts{
      "",
      "Mailbox does not exist",
      "Non-deliverable mailbox",
      "Mailbox full",
      "Mailbox future delivery full",
      "Destination node full",
      "Destination node deleted",
      "Destination node disabled",
      "Bad message",
      "Destination node busy",
      "Destination node does not answer",
      "Bad line",
      "Resync after abort",
      "Text name does not match",
      "Mailbox not accepting network messages",
      "Extended Absence greeting is enabled",
      "Mailbox cannot accept fax",
      "Port does not support fax",
      "System does not support fax",
      "Port does not support fax",
      "Private not supported - Rejected",
      "Private not supported - Accepted",
      "Urgent not supported - Rejected",
      "Urgent not supported - Accepted",
      "Receipt not supported - Rejected",
      "Receipt not supported - Accepted",
      "Destination does not support fax",
  };
  if (code < 0 || code >= static_cast<int>(kTexts.size())) return "";
  return kTexts[static_cast<std::size_t>(code)];
}

}  // namespace travik
