// Outbound calls: the gateway calls an Octel node to deliver messages or to
// fetch mailbox names.
//
// Each step names the machine state it leads to, so a reader can follow the
// outbound machine's tables alongside.
#include <functional>
#include <utility>

#include "bench/traffic_calls.h"

namespace travik::traffic {

namespace {

// How the gateway's trace announces the call.
enum class Opening {
  CallOut,   // "Call Out Process Initiated for Node"
  Pending,   // "Processing Pending Callout to Node"
  Messages,  // "Processing messages from node:"
};

// Where the outbound machine stands between two messages.
enum class Between {
  HeaderResponse,  // state 6
  CouldNotSend,    // state 8
  NotDelivered,    // state 9
};

struct Outbound {
  Opening opening;
  std::string node;
};

// A serial read as a whole number, the way a pending callout's serial is read.
std::string asNumber(const std::string& serial) {
  const auto first = serial.find_first_not_of('0');
  return first == std::string::npos ? "0" : serial.substr(first);
}

Outbound open(CallBuilder& b, const std::string& scenario, bool messagesOpening = true) {
  Outbound call{Opening::CallOut, b.node()};
  const double r = b.random.unit();
  if (r < 0.3) call.opening = Opening::Pending;
  if (r >= 0.7 && messagesOpening) call.opening = Opening::Messages;
  switch (call.opening) {
    case Opening::CallOut:
      b.open("Call Out Process Initiated for Node " + call.node, false, scenario);
      b.call().octelserialnumber = call.node;
      break;
    case Opening::Pending:
      b.open("Processing Pending Callout to Node " + call.node, false, scenario);
      b.call().octelserialnumber = asNumber(call.node);
      // The callout line that follows changes nothing while the call dials.
      if (b.random.chance(0.5)) b.emit("Call Out Process Initiated for Node " + call.node, 100, 600);
      break;
    case Opening::Messages:
      b.open("Processing messages from node: " + b.gateway.corvaneSerial + " to node " + call.node, false, scenario);
      b.call().corvaneserialnumber = b.gateway.corvaneSerial;
      b.call().octelserialnumber = call.node;
      break;
  }
  return call;
}

void dialled(CallBuilder& b, const std::string& result) { b.emit("Call Status = " + result, 3000, 20000); }

void callOutCompleted(CallBuilder& b) { b.emit("Call Out Completed.", 500, 3000); }

// The line that closes a successful call: states 7, 29 and 30 end it "OK".
void closeCall(CallBuilder& b, const Outbound& call) {
  if (call.opening == Opening::Messages)
    b.emit("Processing messages from node: " + b.gateway.corvaneSerial + " to node " + call.node + " Done", 500, 3000);
  else
    callOutCompleted(b);
  b.endOk();
}

// State 2 to 4: the wake-up response, sometimes in two strings.
void wakeUpResponse(CallBuilder& b) {
  b.emit("Received CDD", 500, 2500);
  if (b.random.chance(0.15)) {
    const int first = b.random.between(3, 11);
    b.received(first);
    b.emitTight("Received " + b.random.digits(14 - first), 100, 300);
  } else {
    b.received(14);
  }
}

// State 5 to 6: both sides named.
void established(CallBuilder& b, const std::string& node) {
  b.emit("Call established from Serial # " + b.gateway.corvaneSerial + " to Serial # " + node);
  b.call().corvaneserialnumber = b.gateway.corvaneSerial;
  b.call().octelserialnumber = node;
}

// From the dial result "Answer" (state 2) to state 6.
void answered(CallBuilder& b, const std::string& node) {
  wakeUpResponse(b);
  protocolLevel(b);
  b.received(16);
  established(b, node);
}

Outbound setUp(CallBuilder& b, const std::string& scenario, bool messagesOpening = true) {
  Outbound call = open(b, scenario, messagesOpening);
  dialled(b, "Answer");
  answered(b, call.node);
  return call;
}

// The header of the next message and the node's answer: state 6 (8, 9) to 7.
void nextHeader(CallBuilder& b) {
  b.played(36);
  b.received(6);
}

std::string senderAddress(CallBuilder& b) { return b.mailbox() + "@" + b.gateway.corvaneSerial; }

// State 7 or 21 to 10: the message leaves for its first recipient.
void sendingMessage(CallBuilder& b, const std::string& node) {
  b.emit("Sending Message from mailbox " + senderAddress(b) + " to mailbox " + b.mailbox() + "@" + node);
  ExpectedCall& c = b.call();
  ++c.tasks;
  ++c.msgsendattempt;
  ++c.numberrecipientssent;
  ++c.recipients;
}

// State 14 to 16 (and through 20 and 22) back to 14: one further recipient.
void additionalRecipient(CallBuilder& b, const std::string& node) {
  b.played(24);
  b.received(6);
  const bool rejected = b.random.chance(0.15);
  if (rejected) {
    static const std::vector<int> refusals{1, 2, 3, 4, 13, 14, 16};
    b.emit("Octel response status: " + std::to_string(b.random.pick(refusals)));
  } else if (b.random.chance(0.2)) {
    b.emit("Octel response status: 0");
  }
  if (b.random.chance(0.2)) {
    b.played(46);  // the recipient's text name for the node to confirm
    b.received(6);
  }
  const std::string address = b.mailbox() + "@" + node;
  b.emit(rejected ? "Could NOT send to Recepient mailbox " + address : "Added Recepient mailbox " + address);
  ++b.call().numberrecipientssent;
  ++b.call().recipients;
  if (rejected) ++b.call().rejectedRecipients;
}

int additionalRecipientCount(Random& random) {
  const double r = random.unit();
  return r < 0.6 ? 0 : r < 0.82 ? 1 : r < 0.94 ? 2 : 3;
}

// State 11 to 18: the node asks for the fax.
void faxStart(CallBuilder& b) {
  b.emit("Received 7");  // state 17
  ++b.call().faxTasks;
  b.emit("Sending Fax", 500, 2000);  // state 18
}

// The voice part from "Playing #" (state 10 to 11) through the save request.
void playAndSave(CallBuilder& b, bool fax) {
  b.emit("Playing Voice", 200, 800);
  b.emit("Playing #", 5000, 60000);  // state 11
  if (fax) {
    faxStart(b);
    if (b.random.chance(0.5)) b.emit("Sending Fax C:\\Varnel\\Fax\\Out" + b.random.digits(6) + ".tif", 200, 800);
    b.emit("Sending Fax completed", 15000, 120000);  // state 11
  }
  b.emit("Received 8");  // state 12
  b.emit("Playing 9");   // state 13
}

// One message, from its header to the next wait for a header.
Between deliverMessage(CallBuilder& b, const std::string& node) {
  nextHeader(b);
  const double kind = b.random.unit();
  if (kind < 0.08) {
    if (b.random.chance(0.7)) {
      static const std::vector<int> refusals{1, 3, 14};
      b.emit("Octel response status: " + std::to_string(b.random.pick(refusals)));
    }
    b.emit("Could NOT send Message from mailbox " + senderAddress(b) + " to mailbox " + b.mailbox() + "@" + node);
    ExpectedCall& c = b.call();
    ++c.tasks;
    ++c.incompleteTasks;
    ++c.msgsendattempt;
    ++c.numberrecipientssent;
    ++c.recipients;
    ++c.rejectedRecipients;
    if (b.random.chance(0.5)) {
      b.emit("Message NOT Delivered");
      return Between::NotDelivered;
    }
    return Between::CouldNotSend;
  }
  if (b.random.chance(0.3)) b.emit("Octel response status: 0");
  if (b.random.chance(0.25)) {
    b.played(46);   // state 19
    b.received(6);  // state 21
    if (b.random.chance(0.3)) b.emit("Octel response status: 0");
  }
  sendingMessage(b, node);
  if (kind < 0.18) {
    b.emit("Message Delivered", 300, 1500);  // a receipt: state 6
    ++b.call().msgsendsuccess;
    return Between::HeaderResponse;
  }
  playAndSave(b, b.random.chance(0.1));
  b.received(6);  // the message response: state 14
  ++b.call().msgsendsuccess;
  const int extra = additionalRecipientCount(b.random);
  for (int i = 0; i < extra; ++i) additionalRecipient(b, node);
  b.emit("Message Delivered", 300, 1500);  // state 6
  return Between::HeaderResponse;
}

int messageCount(Random& random) {
  const double r = random.unit();
  return r < 0.45 ? 1 : r < 0.75 ? 2 : r < 0.9 ? 3 : 4;
}

// State 7 to 23: the gateway asks for a mailbox's name.
void retrievingName(CallBuilder& b, const std::string& mailbox) {
  b.emit("Retrieving Name for mailbox " + mailbox);
  ++b.call().tasks;
  ++b.call().adminnamesrequested;
}

// Fetches one to three names; ends in state 30.
void retrieveNames(CallBuilder& b, int count) {
  nextHeader(b);  // state 7
  for (int i = 0; i < count; ++i) {
    const std::string mailbox = b.mailbox();
    retrievingName(b, mailbox);                                                // state 23
    b.received(48);                                                            // state 24
    b.emit("Name for mailbox " + mailbox + " is " + quotedName(b), 200, 900);  // state 25
    ++b.call().textnamesreceived;
    if (b.random.chance(0.6)) {
      b.played(8);                                               // state 26
      b.emit("Received #", 1500, 5000);                          // state 27
      b.emit("Name Recording complete for mailbox " + mailbox);  // state 28
      ++b.call().voicenamesreceived;
    }
  }
  b.emit("Completed Retrieving Names");  // state 30
}

// A run of messages; returns where the last one left the machine.
Between deliverMessages(CallBuilder& b, const std::string& node) {
  Between where = Between::HeaderResponse;
  const int messages = messageCount(b.random);
  for (int i = 0; i < messages; ++i) where = deliverMessage(b, node);
  return where;
}

// Messages until the gateway has none left: ends in state 29.
void deliverAll(CallBuilder& b, const std::string& node) {
  const Between where = deliverMessages(b, node);
  if (where == Between::CouldNotSend) b.emit("Message NOT Delivered");
  b.emit("Completed delivering Messages");
}

// From state 6 into message delivery up to "Sending Message" (state 10).
void toSending(CallBuilder& b, const Outbound& call) {
  nextHeader(b);
  sendingMessage(b, call.node);
}

using FailureBuilder = std::function<void(CallBuilder&, const std::string&)>;

FailureBuilder dialFailure(const char* result, int reason) {
  return [result, reason](CallBuilder& b, const std::string& s) {
    open(b, s);
    dialled(b, result);
    b.abandon(1, reason);
    callOutCompleted(b);
  };
}

// The wake-up response arrives in a wrong count drawn from [fewest, most].
FailureBuilder wakeUpResponseFailure(int fewest, int most, int reason) {
  return [fewest, most, reason](CallBuilder& b, const std::string& s) {
    open(b, s);
    dialled(b, "Answer");
    b.emit("Received CDD", 500, 2500);
    const int n = b.random.between(fewest, most);
    b.received(n);
    b.abandon(5, reason, "", "", 14, n);
    callOutCompleted(b);
  };
}

const std::vector<std::pair<const char*, FailureBuilder>>& failures() {
  static const std::vector<std::pair<const char*, FailureBuilder>> list{
      {"out.fail.busy", dialFailure("Busy", 3)},
      {"out.fail.ring-no-answer", dialFailure("Ring", 4)},
      {"out.fail.out-of-service", dialFailure("SIT", 17)},
      {"out.fail.line-error", dialFailure("Line", 1)},
      {"out.fail.gave-up",
       [](CallBuilder& b, const std::string& s) {
         open(b, s);
         b.emit("Call Out Completed.", 5000, 30000);
         b.abandon(30, 999);
       }},
      {"out.fail.no-cdd",
       [](CallBuilder& b, const std::string& s) {
         open(b, s);
         dialled(b, "Answer");
         b.emit("Call Out Completed.", 3000, 10000);
         b.abandon(3, 5, "CDD", "", 3, 0);
       }},
      {"out.fail.wakeup-long", wakeUpResponseFailure(15, 18, 6)},
      {"out.fail.wakeup-short", wakeUpResponseFailure(6, 13, 7)},
      {"out.fail.linesync-short",
       [](CallBuilder& b, const std::string& s) {
         open(b, s);
         dialled(b, "Answer");
         wakeUpResponse(b);
         protocolLevel(b);
         const int n = b.random.between(10, 15);
         b.received(n);
         b.abandon(7, 7, "", "", 16, n);
         callOutCompleted(b);
       }},
      {"out.fail.linesync-invalid",
       [](CallBuilder& b, const std::string& s) {
         open(b, s);
         dialled(b, "Answer");
         wakeUpResponse(b);
         b.received(16);
         b.abandon(7, 8, "", "", 16, 16);
         b.emitTight("Received");
         callOutCompleted(b);
       }},
      {"out.fail.comm-problem",
       [](CallBuilder& b, const std::string& s) {
         setUp(b, s);
         b.emit("Encountered communication problems with this Node", 1000, 5000);
         b.abandon(9, 5, "", "", 6, 0);
         callOutCompleted(b);
       }},
      {"out.fail.header-timeout",
       [](CallBuilder& b, const std::string& s) {
         setUp(b, s);
         b.played(36);
         const int n = b.random.between(2, 5);
         b.received(n);
         b.abandon(9, 16, "", "", 6, n);
         b.received(b.random.between(2, 4));
         callOutCompleted(b);
       }},
      {"out.fail.text-name-length",
       [](CallBuilder& b, const std::string& s) {
         setUp(b, s);
         nextHeader(b);
         b.played(b.random.between(30, 44));
         b.abandon(12, 999);
         callOutCompleted(b);
       }},
      {"out.fail.playing-cut",
       [](CallBuilder& b, const std::string& s) {
         const Outbound call = setUp(b, s);
         toSending(b, call);
         b.emit("Playing Voice", 200, 800);
         b.emit("Call Out Completed.", 5000, 30000);
         taskCutOff(b);
         b.abandon(28, 999);
       }},
      {"out.fail.no-save-request",
       [](CallBuilder& b, const std::string& s) {
         const Outbound call = setUp(b, s);
         toSending(b, call);
         b.emit("Playing Voice", 200, 800);
         b.emit("Playing #", 5000, 60000);
         b.emit("Call Out Completed.", 2000, 10000);
         taskCutOff(b);
         b.abandon(17, 5, "8", "", 1, 0);
       }},
      {"out.fail.response-short",
       [](CallBuilder& b, const std::string& s) {
         const Outbound call = setUp(b, s);
         toSending(b, call);
         playAndSave(b, false);
         const int n = b.random.between(2, 5);
         b.received(n);
         taskCutOff(b);
         b.abandon(19, 7, "", "", 6, n);
         callOutCompleted(b);
       }},
      {"out.fail.fax-cut",
       [](CallBuilder& b, const std::string& s) {
         const Outbound call = setUp(b, s);
         toSending(b, call);
         b.emit("Playing Voice", 200, 800);
         b.emit("Playing #", 5000, 60000);
         faxStart(b);
         b.emit("Call Out Completed.", 10000, 60000);
         taskCutOff(b);
         b.abandon(16, 10);
       }},
      {"out.fail.name-short",
       [](CallBuilder& b, const std::string& s) {
         setUp(b, s, false);
         nextHeader(b);
         retrievingName(b, b.mailbox());
         const int n = b.random.between(40, 47);
         b.received(n);
         taskCutOff(b);
         b.abandon(25, 7, "", "", 48, n);
         callOutCompleted(b);
       }},
      {"out.fail.superseded",
       [](CallBuilder& b, const std::string& s) {
         // The node stops answering; the gateway's next dial result belongs
         // to a new call, which ends the first at the event before it.
         setUp(b, s);
         b.abandon(9, 5, "", "", 6, 0);
         b.endAtLastLine();
         b.nextSecond(5000, 30000);
         b.open("Call Status = Answer", false, "out.redial");
         answered(b, b.node());
         deliverAll(b, b.call().octelserialnumber);
         callOutCompleted(b);
         b.endOk();
       }},
      {"out.fail.redial",
       [](CallBuilder& b, const std::string& s) {
         const Outbound call = open(b, s, false);
         dialled(b, "Busy");
         b.abandon(1, 3);
         b.nextSecond(20000, 90000);
         b.open("Call Status = Answer", false, "out.redial");
         answered(b, call.node);
         deliverAll(b, call.node);
         callOutCompleted(b);
         b.endOk();
       }},
  };
  return list;
}

}  // namespace

void buildOutboundCall(CallBuilder& b) {
  const double r = b.random.unit();
  if (r < 0.12) {
    // The gateway finds nothing to do before it dials.
    open(b, "out.no-init");
    b.emit(b.random.chance(0.7) ? "No messages to deliver" : "No names to retrieve", 200, 1500);
    b.endNoInit();
    return;
  }
  if (r < 0.24) {
    const Outbound call = setUp(b, "out.names", false);
    retrieveNames(b, b.random.between(1, 3));
    closeCall(b, call);
    return;
  }
  const bool alsoNames = r < 0.32;
  const Outbound call = setUp(b, alsoNames ? "out.deliver+names" : "out.deliver");
  if (alsoNames) {
    // The names' header leads from any state the messages end in to state 6.
    deliverMessages(b, call.node);
    retrieveNames(b, b.random.between(1, 2));
  } else {
    deliverAll(b, call.node);
  }
  closeCall(b, call);
}

void buildFailingOutboundCall(CallBuilder& b) {
  const auto& list = failures();
  const auto& [name, build] = list[b.random.below(list.size())];
  build(b, name);
}

}  // namespace travik::traffic
