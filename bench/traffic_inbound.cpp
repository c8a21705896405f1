// Inbound calls: an Octel node calls the gateway to deliver voice and fax
// messages, ask for mailbox names and push names of its own.
//
// Each step names the machine state it leads to, so a reader can follow the
// inbound machine's tables alongside.
#include <functional>
#include <utility>

#include "bench/traffic_calls.h"

namespace travik::traffic {

namespace {

// Where the inbound machine stands between two items of a call.
enum class Between {
  SessionHeader,  // state 4: a 36-digit header must come first
  MessageHeader,  // state 5: a message, an admin request or the hang-up
};

void hangUp(CallBuilder& b) { b.emit("Incoming Call Completed.", 300, 3000); }

// State 1 to 2: the wake-up tone.
void wakeUp(CallBuilder& b) {
  if (b.random.chance(0.1)) {
    // Seen as a wake-up only through the "Playing CDD" that follows it.
    b.emitTight("Playing BD");
    b.emit("Playing CDD", 100, 400);
  } else {
    b.emit("Received BD");
    if (b.random.chance(0.05)) b.emit("Received BD", 300, 900);
  }
}

// State 2 to 3: 18 wake-up digits, sometimes in two strings, sometimes 19
// beginning "812".
void wakeUpDigits(CallBuilder& b) {
  const double r = b.random.unit();
  if (r < 0.8) {
    b.received(18);
  } else if (r < 0.93) {
    const int first = b.random.between(4, 14);
    b.received(first);
    b.emitTight("Received " + b.random.digits(18 - first), 100, 300);
  } else {
    b.emitTight("Received 812" + b.random.digits(16));
  }
}

// "Call Received." and the wake-up tone: state 2.
void wokenUp(CallBuilder& b, const std::string& scenario) {
  b.open("Call Received.", true, scenario);
  wakeUp(b);
}

// State 3 to 4.
void lineSync(CallBuilder& b) {
  protocolLevel(b);
  b.received(16);
}

// State 4: the caller names itself and the gateway it called.
void callerSerial(CallBuilder& b, const std::string& node) {
  b.emit("Call received from Serial # " + node + " on Corvane Serial " + b.gateway.corvaneSerial);
  b.call().octelserialnumber = node;
  b.call().corvaneserialnumber = b.gateway.corvaneSerial;
}

// "Call Received." through the caller's serial: state 4.
void identified(CallBuilder& b, const std::string& scenario) {
  wokenUp(b, scenario);
  wakeUpDigits(b);
  lineSync(b);
  callerSerial(b, b.node());
}

// "Call Received." through the first message header: state 5.
void setUp(CallBuilder& b, const std::string& scenario) {
  identified(b, scenario);
  b.received(36);
}

void toMessageHeader(CallBuilder& b, Between& where) {
  if (where == Between::SessionHeader) b.received(36);
  where = Between::MessageHeader;
}

// State 5 to 6: a new message and its first recipient.
void newMessage(CallBuilder& b) {
  b.emit("New Message from mailbox " + b.mailbox() + " to mailbox " + b.mailbox());
  ExpectedCall& c = b.call();
  ++c.tasks;
  ++c.msgreceiveattempt;
  ++c.numberrecipientssent;
  ++c.recipients;
}

// States 6 to 8: the recording and its terminator.
void recording(CallBuilder& b) {
  b.emit("Recording Voice", 300, 1200);
  b.emit("Recording completed", 5000, 90000);
  b.emit(b.random.chance(0.1) ? "Received ##" : "Received #", 100, 600);
}

// State 8 to 9: the fax begins.
void faxStart(CallBuilder& b) {
  b.emit("Playing 7");
  ++b.call().faxTasks;
  b.emit("Receiving Fax", 500, 2000);
}

// States 8 and 9: a fax instead of (after) the voice part.
void faxPart(CallBuilder& b) {
  faxStart(b);
  if (b.random.chance(0.5)) b.emit("Receiving Fax C:\\Varnel\\Fax\\In" + b.random.digits(6) + ".tif", 200, 800);
  b.emit("Receiving Fax complete", 15000, 120000);
}

// State 9 to 10: the message is saved.
void saved(CallBuilder& b) {
  b.emit("Received 9");
  ++b.call().msgreceivesuccess;
}

int additionalRecipientCount(Random& random) {
  const double r = random.unit();
  return r < 0.55 ? 0 : r < 0.8 ? 1 : r < 0.92 ? 2 : 3;
}

// One voice (or fax) message from "New Message" to its save, with its
// further recipients.  Starts in state 5.
Between message(CallBuilder& b, bool fax) {
  newMessage(b);
  if (b.random.chance(0.3)) b.received(46);  // the recipient's text name confirmed
  if (b.random.chance(0.04)) {
    // The node drops the recipient and goes on with its next header.
    b.received(36);
    ++b.call().rejectedRecipients;
    --b.call().numberrecipientssent;
    return Between::MessageHeader;
  }
  recording(b);
  if (fax) faxPart(b);
  saved(b);
  const int extra = additionalRecipientCount(b.random);
  for (int i = 0; i < extra; ++i) {
    b.received(24);  // state 10 or 11 to 11
    b.emit("Added Recepient mailbox " + b.mailbox());
    ++b.call().recipients;
    ++b.call().numberrecipientssent;
    if (b.random.chance(0.3)) b.received(46);
  }
  if (extra > 0 && b.random.chance(0.5)) {
    b.received(36);  // the next header ends the message task: state 5
    return Between::MessageHeader;
  }
  b.emit("Message Saved");
  return Between::SessionHeader;
}

// State 12 to 22: the node asks for a mailbox's name.
void nameRequest(CallBuilder& b, const std::string& mailbox) {
  b.emit("Processing Name Request for mailbox " + mailbox);
  ++b.call().tasks;
  ++b.call().adminnamerequestsrecd;
}

// State 22 to 23: the text name found for the mailbox.
void readName(CallBuilder& b, const std::string& mailbox) {
  b.emit("Read Name from DB. Name for mailbox " + mailbox + " is " + quotedName(b));
  ++b.call().textnamessent;
}

// States 23 to 25: the spoken name and its terminator.
void spokenName(CallBuilder& b, const std::string& mailbox) {
  b.emit("Playing Spoken Name for mailbox " + mailbox, 300, 1500);  // state 24
  ++b.call().voicenamessent;
  b.emit("Playing #", 1500, 6000);  // state 25
}

// State 5 through 12 to 13: the node offers a name of its own.
std::string pushRequest(CallBuilder& b) {
  b.received(22);  // state 12
  const std::string mailbox = b.mailbox();
  b.emit("Processing Name Push for mailbox " + mailbox);  // state 13
  ++b.call().tasks;
  ++b.call().adminnamerequestsrecd;
  return mailbox;
}

// One to three name retrievals in one admin block.  Starts and ends in state 5.
void nameRetrievals(CallBuilder& b, int count) {
  b.received(22);  // state 12
  for (int i = 0; i < count; ++i) {
    const bool last = i == count - 1;
    const std::string mailbox = b.mailbox();
    nameRequest(b, mailbox);
    const double r = b.random.unit();
    if (r < 0.6) {
      readName(b, mailbox);
      if (b.random.chance(0.3)) b.played(48);
      spokenName(b, mailbox);
      b.received(8);  // state 5
    } else if (r < 0.8 || (r >= 0.9 && last)) {
      readName(b, mailbox);
      b.played(8);  // no spoken name: state 5
    } else if (r < 0.9) {
      b.played(b.random.chance(0.5) ? 48 : 18);  // state 5 at once
    } else {
      readName(b, mailbox);
      b.received(22);  // the next request follows directly: state 12
      continue;
    }
    if (!last) b.received(22);
  }
}

// A name push, rejected or taken.  Starts and ends in state 5.
void namePush(CallBuilder& b) {
  const std::string mailbox = pushRequest(b);
  if (b.random.chance(0.3)) {
    b.emit("Reject Name Push for mailbox " + mailbox);
    return;
  }
  b.emit("Accept Name Push for mailbox " + mailbox);  // state 14
  b.received(18);                                     // state 15
  const bool textOnly = b.random.chance(0.4);
  b.emit("Receive alias response for mailbox " + mailbox + (textOnly ? " alias=no" : " alias=yes"));  // state 16
  b.received(48);                                                                                     // state 17
  b.emit("Receive text name for mailbox " + mailbox + " " + quotedName(b));
  ++b.call().textnamesreceived;
  if (textOnly) {
    b.emit("Send admin response with nFlag=1");  // state 18 to 5
    return;
  }
  b.emit("Recording Spoken Name for mailbox " + mailbox);  // state 20
  b.emit("Received #", 1500, 5000);                        // state 21
  b.emit("Send admin response with nFlag=0");              // state 5
  ++b.call().voicenamesreceived;
}

int messageCount(Random& random) {
  const double r = random.unit();
  return r < 0.7 ? 1 : r < 0.92 ? 2 : 3;
}

// The far end of a failing call: set up to state 5 and then into a message.
void toRecording(CallBuilder& b, const std::string& scenario) {
  setUp(b, scenario);
  newMessage(b);
  b.emit("Recording Voice", 300, 1200);
}

void toSave(CallBuilder& b, const std::string& scenario) {
  toRecording(b, scenario);
  b.emit("Recording completed", 5000, 60000);
  b.emit("Received #", 100, 600);
}

using FailureBuilder = std::function<void(CallBuilder&, const std::string&)>;

// The wake-up digits arrive in a wrong count drawn from [fewest, most].
FailureBuilder wakeUpDigitsFailure(int fewest, int most, int reason) {
  return [fewest, most, reason](CallBuilder& b, const std::string& s) {
    wokenUp(b, s);
    const int n = b.random.between(fewest, most);
    b.received(n);
    b.abandon(4, reason, "", "", 18, n);
    hangUp(b);
  };
}

// A call that ends while a task is open ends the task incomplete (taskCutOff);
// in states 6 to 9 the message recipient is marked as well.
const std::vector<std::pair<const char*, FailureBuilder>>& failures() {
  static const std::vector<std::pair<const char*, FailureBuilder>> list{
      {"in.fail.no-wakeup",
       [](CallBuilder& b, const std::string& s) {
         b.open("Call Received.", true, s);
         hangUp(b);
         b.abandon(2, 5, "BD", "", 2, 0);
       }},
      {"in.fail.wrong-corvane",
       [](CallBuilder& b, const std::string& s) {
         b.open("Call Received.", true, s);
         b.emit("Received CD");
         b.abandon(2, 14, "BD", "CD", 2, 2);
         hangUp(b);
       }},
      {"in.fail.wakeup-hangup",
       [](CallBuilder& b, const std::string& s) {
         wokenUp(b, s);
         hangUp(b);
         b.abandon(4, 5, "", "", 18, 0);
       }},
      {"in.fail.wakeup-short", wakeUpDigitsFailure(10, 17, 7)},
      {"in.fail.wakeup-long", wakeUpDigitsFailure(20, 24, 6)},
      {"in.fail.812-hangup",
       [](CallBuilder& b, const std::string& s) {
         wokenUp(b, s);
         b.emitTight("Received 812" + b.random.digits(16));
         protocolLevel(b);
         hangUp(b);
         b.abandon(4, 6, "", "", 18, 19);
       }},
      {"in.fail.handshake",
       [](CallBuilder& b, const std::string& s) {
         wokenUp(b, s);
         b.received(18);
         b.emit("Initial handshake failed. Received either bad data or no data from the caller");
         b.abandon(4, 13);
         hangUp(b);
       }},
      {"in.fail.linesync-timeout",
       [](CallBuilder& b, const std::string& s) {
         wokenUp(b, s);
         wakeUpDigits(b);
         const int n = b.random.between(8, 15);
         b.received(n);
         b.abandon(6, 16, "", "", 16, n);
         b.received(b.random.between(2, 8));
         hangUp(b);
       }},
      {"in.fail.linesync-short",
       [](CallBuilder& b, const std::string& s) {
         wokenUp(b, s);
         wakeUpDigits(b);
         protocolLevel(b);
         const int n = b.random.between(8, 15);
         b.received(n);
         b.abandon(6, 7, "", "", 16, n);
         hangUp(b);
       }},
      {"in.fail.linesync-invalid",
       [](CallBuilder& b, const std::string& s) {
         wokenUp(b, s);
         wakeUpDigits(b);
         b.received(16);
         b.abandon(6, 8, "", "", 16, 16);
         b.emitTight("Received");
         hangUp(b);
       }},
      {"in.fail.linesync-hangup",
       [](CallBuilder& b, const std::string& s) {
         wokenUp(b, s);
         b.received(18);
         protocolLevel(b);
         hangUp(b);
         b.abandon(6, 5, "", "", 16, 0);
       }},
      {"in.fail.unknown-node",
       [](CallBuilder& b, const std::string& s) {
         wokenUp(b, s);
         wakeUpDigits(b);
         lineSync(b);
         const std::string stranger = std::to_string(b.random.between(60000, 69999));
         b.emit("Call from Octel node with Serial # " + stranger +
                " that is not configured on Varnel. This call will be abandoned");
         b.call().octelserialnumber = stranger;
         b.abandon(6, 12);
         hangUp(b);
       }},
      {"in.fail.header-short",
       [](CallBuilder& b, const std::string& s) {
         identified(b, s);
         const int n = b.random.between(30, 35);
         b.received(n);
         b.abandon(8, 7, "", "", 36, n);
         hangUp(b);
       }},
      {"in.fail.push-refused",
       [](CallBuilder& b, const std::string& s) {
         identified(b, s);
         b.received(18);
         b.abandon(22, 11, "", "", 0, 18);
         hangUp(b);
       }},
      {"in.fail.header-hangup",
       [](CallBuilder& b, const std::string& s) {
         identified(b, s);
         hangUp(b);
         b.abandon(8, 5, "", "", 36, 0);
       }},
      {"in.fail.recording-hangup",
       [](CallBuilder& b, const std::string& s) {
         toRecording(b, s);
         hangUp(b);
         taskCutOff(b);
         b.abandon(26, 999);
       }},
      {"in.fail.terminator-hangup",
       [](CallBuilder& b, const std::string& s) {
         toRecording(b, s);
         b.emit("Recording completed", 5000, 60000);
         hangUp(b);
         taskCutOff(b);
         b.abandon(14, 5, "#", "", 1, 0);
       }},
      {"in.fail.save-hangup",
       [](CallBuilder& b, const std::string& s) {
         toSave(b, s);
         hangUp(b);
         taskCutOff(b);
         b.abandon(18, 5, "9", "", 1, 0);
       }},
      {"in.fail.fax-cut",
       [](CallBuilder& b, const std::string& s) {
         toSave(b, s);
         faxStart(b);
         hangUp(b);
         taskCutOff(b);
         b.abandon(16, 10);
       }},
      {"in.fail.saved-hangup",
       [](CallBuilder& b, const std::string& s) {
         toSave(b, s);
         saved(b);
         hangUp(b);
         taskCutOff(b);
         b.abandon(19, 999);
       }},
      {"in.fail.recipient-short",
       [](CallBuilder& b, const std::string& s) {
         toSave(b, s);
         saved(b);
         const int n = b.random.between(10, 23);
         b.received(n);
         taskCutOff(b);
         b.abandon(10, 7, "", "", 24, n);
         hangUp(b);
       }},
      {"in.fail.admin-hangup",
       [](CallBuilder& b, const std::string& s) {
         setUp(b, s);
         b.received(22);
         hangUp(b);
         b.abandon(20, 999);
       }},
      {"in.fail.name-send-length",
       [](CallBuilder& b, const std::string& s) {
         setUp(b, s);
         b.received(22);
         nameRequest(b, b.mailbox());
         b.played(b.random.between(20, 30));
         taskCutOff(b);
         b.abandon(24, 999);
         hangUp(b);
       }},
      {"in.fail.confirm-short",
       [](CallBuilder& b, const std::string& s) {
         setUp(b, s);
         b.received(22);
         const std::string mailbox = b.mailbox();
         nameRequest(b, mailbox);
         readName(b, mailbox);
         spokenName(b, mailbox);
         const int n = b.random.between(4, 7);
         b.received(n);
         taskCutOff(b);
         b.abandon(23, 7, "", "", 8, n);
         hangUp(b);
       }},
      {"in.fail.alias-hangup",
       [](CallBuilder& b, const std::string& s) {
         setUp(b, s);
         const std::string mailbox = pushRequest(b);
         b.emit("Accept Name Push for mailbox " + mailbox);
         hangUp(b);
         taskCutOff(b);
         b.abandon(21, 5, "", "", 18, 0);
       }},
  };
  return list;
}

}  // namespace

void buildInboundCall(CallBuilder& b) {
  const double r = b.random.unit();
  const char* scenario = r < 0.55   ? "in.message"
                         : r < 0.63 ? "in.fax"
                         : r < 0.75 ? "in.names"
                         : r < 0.85 ? "in.push"
                                    : "in.mixed";
  const std::string kind = scenario;
  setUp(b, kind);
  Between where = Between::MessageHeader;
  if (kind == "in.message" || kind == "in.mixed") {
    const int messages = messageCount(b.random);
    for (int i = 0; i < messages; ++i) {
      toMessageHeader(b, where);
      where = message(b, false);
    }
  }
  if (kind == "in.fax") {
    where = message(b, true);
    if (b.random.chance(0.3)) {
      toMessageHeader(b, where);
      where = message(b, false);
    }
  }
  if (kind == "in.names" || (kind == "in.mixed" && b.random.chance(0.6))) {
    toMessageHeader(b, where);
    nameRetrievals(b, b.random.between(1, 3));
    if (b.random.chance(0.3)) {
      // The node closes its request block before it hangs up.
      b.received(22);
      b.emit("Completed Retrieving Names");
      where = Between::SessionHeader;
    }
  }
  if (kind == "in.push" || kind == "in.mixed") {
    const int pushes = kind == "in.push" ? b.random.between(1, 2) : b.random.between(0, 1);
    for (int i = 0; i < pushes; ++i) {
      toMessageHeader(b, where);
      namePush(b);
    }
  }
  toMessageHeader(b, where);
  hangUp(b);
  b.endOk();
}

void buildFailingInboundCall(CallBuilder& b) {
  const auto& list = failures();
  const auto& [name, build] = list[b.random.below(list.size())];
  build(b, name);
}

}  // namespace travik::traffic
