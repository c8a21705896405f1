#include "processing/event_classification.h"

#include <array>
#include <cstdint>
#include <string>

namespace travik {

namespace {

enum class Test { Contains, Equals, StartsWithReceived };

// What a rule does once its main test holds.
enum class SubTest {
  None,                // the rule's code
  PlayingKind,         // 37 with a backslash; else 27 when longer than 12 characters; else 999
  MessagesDone,        // 69 with "DONE"; else 68
  ReceivedWithDigits,  // 44 when longer than 9 characters; else 999
  NeedsBackslash,      // the rule's code with a backslash; else 999
};

struct Rule {
  Test test;
  std::string_view phrase;  // upper case, matched against the upper-cased text
  int code;
  SubTest subTest = SubTest::None;
};

// The gateway's phrases in the order they are tried; the order matters
// ("Receive text name for mailbox" also contains "NAME FOR MAILBOX").
constexpr std::array kRules{
    Rule{Test::Contains, "READ NAME FROM DB. NAME FOR MAILBOX", 1},
    Rule{Test::Contains, "PLAYING SPOKEN NAME FOR MAILBOX", 2},
    Rule{Test::Contains, "RETRIEVING NAME FOR MAILBOX", 3},
    Rule{Test::Contains, "RECEIVE TEXT NAME FOR MAILBOX", 75},
    Rule{Test::Contains, "RECORDING SPOKEN NAME FOR MAILBOX", 84},
    Rule{Test::Contains, "LINEMONITOR THREAD IS RUNNING", 65},
    Rule{Test::Equals, "WAITING FOR LINEMONITOR THREAD TO TERMINATE", 65},
    Rule{Test::Equals, "PLAYEVENT SIGNALED", 65},
    Rule{Test::Contains, "PORT IS LOCKED", 65},
    Rule{Test::Contains, "BT_STATUS_ALERT", 65},
    Rule{Test::Contains, "ALERT STATUS:", 65},
    Rule{Test::Contains, "OCTEL RESPONSE STATUS:", 66},
    Rule{Test::Contains, "ADDED RECEPIENT MAILBOX", 4},
    Rule{Test::Equals, "BEGIN MAILBOX UPDATE", 5},
    Rule{Test::Contains, "CALL ESTABLISHED FROM SERIAL #", 6},
    Rule{Test::Equals, "CALL OUT COMPLETED.", 7},
    Rule{Test::Contains, "CALL OUT PROCESS INITIATED FOR NODE", 8},
    Rule{Test::Contains, "CALL RECEIVED FROM SERIAL #", 9},
    Rule{Test::Equals, "CALL RECEIVED.", 10},
    Rule{Test::Contains, "CALL STATUS =", 11},
    Rule{Test::Equals, "COMPLETED DELIVERING MESSAGES", 12},
    Rule{Test::Equals, "COMPLETED RETRIEVING NAMES", 13},
    Rule{Test::Contains, "COULD NOT RETRIEVE NAME FOR MAILBOX", 14},
    Rule{Test::Contains, "DECRYPTS WITH INVALID PROTOCOL LEVEL =", 15},
    Rule{Test::Equals, "ENCOUNTERED COMMUNICATION PROBLEMS WITH THIS NODE", 16},
    Rule{Test::Equals, "END MAILBOX UPDATE", 17},
    Rule{Test::Equals, "INCOMING CALL COMPLETED.", 18},
    Rule{Test::Contains, "INITIAL HANDSHAKE FAILED. RECEIVED EITHER BAD DATA", 19},
    Rule{Test::Equals, "MESSAGE DELIVERED", 20},
    Rule{Test::Equals, "MESSAGE SAVED", 21},
    Rule{Test::Contains, "NAME FOR MAILBOX", 22},
    Rule{Test::Contains, "NAME RECORDING COMPLETE FOR MAILBOX", 23},
    Rule{Test::Contains, "NEW MESSAGE FROM MAILBOX", 24},
    Rule{Test::Equals, "NO MESSAGES TO DELIVER", 25},
    Rule{Test::Equals, "NO NAMES TO RETRIEVE", 26},
    Rule{Test::Equals, "PLAYING #", 28},
    Rule{Test::Equals, "PLAYING 1.SPH", 29},
    Rule{Test::Equals, "PLAYING 7", 30},
    Rule{Test::Equals, "PLAYING 8", 31},
    Rule{Test::Equals, "PLAYING 9", 32},
    Rule{Test::Equals, "PLAYING BD", 33},
    Rule{Test::Equals, "PLAYING CDD", 34},
    Rule{Test::Equals, "PLAYING CHIME", 35},
    Rule{Test::Equals, "PLAYING COMPLETED", 36},
    Rule{Test::Equals, "PLAYING VOICE", 38},
    Rule{Test::Contains, "PLAYING ", 0, SubTest::PlayingKind},
    Rule{Test::Contains, "PROCESSING NAME REQUEST FOR MAILBOX", 39},
    Rule{Test::Contains, "PROCESSING PENDING CALLOUT TO NODE", 40},
    Rule{Test::Contains, "PROCESSING MESSAGES FROM NODE:", 0, SubTest::MessagesDone},
    Rule{Test::Contains, "PROTOCOL LEVEL =", 41},
    Rule{Test::Equals, "RECEIVED", 42},
    Rule{Test::Equals, "RECEIVED #", 43},
    Rule{Test::Equals, "RECEIVED ##", 43},
    Rule{Test::Equals, "RECEIVED 7", 45},
    Rule{Test::Equals, "RECEIVED 8", 46},
    Rule{Test::Equals, "RECEIVED 9", 47},
    Rule{Test::Equals, "RECEIVED CDD", 49},
    Rule{Test::Equals, "RECEIVED BD", 48},
    Rule{Test::Equals, "RECEIVED BD AFTER SENDING CDD - TERMINATING CALL.", 67},
    Rule{Test::Equals, "RECEIVED CD", 50},
    Rule{Test::Contains, "THAT IS NOT CONFIGURED ON VARNEL. THIS CALL WILL BE ABANDONED", 51},
    Rule{Test::StartsWithReceived, "RECEIVED ", 0, SubTest::ReceivedWithDigits},
    Rule{Test::Equals, "RECEIVING FAX", 52},
    Rule{Test::Equals, "RECEIVING FAX COMPLETE", 54},
    Rule{Test::Contains, "RECEIVING FAX", 53, SubTest::NeedsBackslash},
    Rule{Test::Equals, "RECORDING COMPLETED", 55},
    Rule{Test::Equals, "RECORDING VOICE", 57},
    Rule{Test::Contains, "RECORDING", 56, SubTest::NeedsBackslash},
    Rule{Test::Equals, "SENDING FAX", 58},
    Rule{Test::Equals, "SENDING FAX COMPLETED", 60},
    Rule{Test::Contains, "SENDING FAX", 59, SubTest::NeedsBackslash},
    Rule{Test::Contains, "SENDING MESSAGE FROM MAILBOX", 61},
    Rule{Test::Contains, "COULD NOT SEND MESSAGE", 62},
    Rule{Test::Equals, "MESSAGE NOT DELIVERED", 63},
    Rule{Test::Contains, "COULD NOT SEND TO RECEPIENT MAILBOX", 64},
    Rule{Test::Contains, "PROCESSING NAME PUSH FOR MAILBOX", 70},
    Rule{Test::Contains, "ACCEPT NAME PUSH FOR MAILBOX", 71},
    Rule{Test::Contains, "REJECT NAME PUSH FOR MAILBOX", 72},
    Rule{Test::Contains, "RECEIVE ALIAS RESPONSE FOR MAILBOX", 73},
    Rule{Test::Contains, "SEND ADMIN RESPONSE TO ACCEPT TEXT NAME FOR MAILBOX", 74},
    Rule{Test::Contains, "UPDATE MAILBOX NAME AND SET STATUS = RETRIEVED FOR MAILBOX", 78},
    Rule{Test::Contains, "RECEIVE # AND UPDATE STATUS=RETRIEVED FOR MAILBOX", 79},
    Rule{Test::Contains, "MAILBOX EXISTS. DELETE SPOKENAME FOR MAILBOX", 80},
    Rule{Test::Contains, "SEND ADMIN RESPONSE WITH NFLAG", 81},
    Rule{Test::Contains, "RECEIVE ADMIN RESPONSE WITH NFLAG=", 82},
    Rule{Test::Contains, "NAME PUSH WITH TEXT NAME ONLY FOR MAILBOX", 83},
    Rule{Test::Contains, "NAME PUSH WITH SPOKEN NAME FOR MAILBOX", 85},
    Rule{Test::Equals, "BEGIN ADDING MAILBOX", 76},
    Rule{Test::Equals, "END ADDING MAILBOX", 77},
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

int subTestCode(const Rule& rule, std::string_view upper) {
  const bool backslash = upper.find('\\') != std::string_view::npos;
  switch (rule.subTest) {
    case SubTest::None: return rule.code;
    case SubTest::PlayingKind:
      if (backslash) return event_code::kPlayingFile;
      return textLength(upper) > 12 ? event_code::kPlayingLong : event_code::kUnrecognised;
    case SubTest::MessagesDone:
      return upper.find("DONE") != std::string_view::npos ? event_code::kProcessingMessagesDone
                                                          : event_code::kProcessingMessagesFromNode;
    case SubTest::ReceivedWithDigits:
      return textLength(upper) > 9 ? event_code::kReceivedDigits : event_code::kUnrecognised;
    case SubTest::NeedsBackslash: return backslash ? rule.code : event_code::kUnrecognised;
  }
  return event_code::kUnrecognised;
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

int classifyEvent(std::string_view data) {
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
  return event_code::kUnrecognised;
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
