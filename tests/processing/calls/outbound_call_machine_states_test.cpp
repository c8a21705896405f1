// The outbound call machine state by state: the tests and endings of each
// state's table, on short traces that bring a call into the state and then
// give it the event under test.
#include <gtest/gtest.h>

#include "processing/calls/process_calls.h"
#include "tests/processing/calls/outbound_call_machine_trace.h"

namespace travik {
namespace {

using test::LineTrace;
using namespace test::outbound;

using Texts = std::vector<std::string>;

// What one line's calls left behind, in compact texts.
struct Outcome {
  Texts calls;       // exitcode
  Texts errors;      // exitcode|expecteddigits|receiveddigits|expectednumberdigits|receivednumberdigits
  Texts tasks;       // tasktype|ended|fax|textnamereceived|recordingreceived
  Texts recipients;  // recipient|rejected|recipientinfo
  Texts counters;    // msgsendattempt|msgsendsuccess|numberrecipientssent|adminnamesrequested|textnames|voicenames
  Texts reports;     // error report lines shown
};

// Rebuilds the calls of a trace on line 1, in the console, so error reports show.
Outcome rebuild(const Texts& events) {
  test::TestProgram program(false);
  LineTrace(*program, 1, kStart).events(events);
  processCalls(*program);
  Outcome outcome{
      program.rows("select exitcode from calls order by rowid"),
      program.rows("select exitcode, expecteddigits, receiveddigits, expectednumberdigits, receivednumberdigits "
                   "from errors order by rowid"),
      program.rows("select tasktype, timestampend is not null, fax, textnamereceived, recordingreceived from tasks "
                   "order by rowid"),
      program.rows("select recipient, rejected, recipientinfo from recipients order by rowid"),
      program.rows("select msgsendattempt, msgsendsuccess, numberrecipientssent, adminnamesrequested, "
                   "textnamesreceived, voicenamesreceived from calls order by rowid"),
      {}};
  for (const auto& box : program.host.boxes) outcome.reports.push_back(box.text);
  return outcome;
}

// The one call's exit code and its error row.
void expectAbandoned(const Texts& events, const std::string& error) {
  SCOPED_TRACE(events.back());
  const Outcome outcome = rebuild(events);
  EXPECT_EQ(outcome.calls, Texts{error.substr(0, 9)});
  EXPECT_EQ(outcome.errors, Texts{error});
}

const Texts kDialling{kCallOut, "Call Status = Answer", "Received CDD"};
const Texts kLineSync = kDialling + Texts{received(14)};

TEST(OutboundStates, CallOutInitiatedJudgesTheDialResultExactly) {
  expectAbandoned({kCallOut, "Call Status = Busy"}, "E00010003|||0|0");
  expectAbandoned({kCallOut, "Call Status = Ring"}, "E00010004|||0|0");
  expectAbandoned({kCallOut, "Call Status = SIT"}, "E00010017|||0|0");
  expectAbandoned({kCallOut, "Call Status = Line"}, "E00010001|||0|0");
  expectAbandoned({kCallOut, kCallOutCompleted}, "E00300999|||0|0");

  // Another word leaves the call open, and the walk passes over what follows.
  const Outcome open = rebuild({kCallOut, "Call Status = answer", "Received CDD", kCallOutCompleted});
  EXPECT_EQ(open.calls, Texts{"<null>"});
  EXPECT_TRUE(open.errors.empty());

  // Only before a dial result does the gateway's "nothing to do" end the call.
  EXPECT_EQ(rebuild({kCallOut, "No names to retrieve"}).calls, Texts{"OK (NO INIT)"});
  expectAbandoned({kCallOut, "Call Status = Answer", "No messages to deliver", kCallOutCompleted},
                  "E00030005|CDD||3|0");
}

TEST(OutboundStates, CallOutInitiatedTakesSerialsAndIgnoresTheDoneLine) {
  test::TestProgram program;
  LineTrace(*program, 1, kStart)
      .events({kCallOut, "Processing messages from node: 4444 to node 000777 Done",
               "Processing messages from node: 5555 to node 000888", "Call Status = Busy"});
  processCalls(*program);
  EXPECT_EQ(program.rows("select octelserialnumber, corvaneserialnumber, exitcode from calls"),
            Texts{"000888|5555|E00010003"});
}

TEST(OutboundStates, ADialResultThatCannotBeReadGoesOnAsAnAnswer) {
  const Outcome outcome = rebuild({kCallOut, "Call Status =", "Received CDD", kCallOutCompleted});
  EXPECT_EQ(outcome.reports, Texts{"(error):9 (Subscript out of range) in procedure CALL_OUT_INITIATED"});
  EXPECT_EQ(outcome.errors, Texts{"E00050005|||14|0"});
}

TEST(OutboundStates, CallAnswerOkTakesAnotherCddLineOnlyBeforePlayedDigits) {
  expectAbandoned({kCallOut, "Call Status = Answer", kCallOutCompleted}, "E00030005|CDD||3|0");
  // Followed by a played digit string: the wake-up response is awaited next.
  expectAbandoned({kCallOut, "Call Status = Answer", "Playing CDD", played(20), received(14), kCallOutCompleted},
                  "E00070005|||16|0");
  // Followed by anything else it is passed over.
  expectAbandoned({kCallOut, "Call Status = Answer", "Playing CDD", "Received BD", kCallOutCompleted},
                  "E00030005|CDD||3|0");
  // As the line's last event it leaves the call open.
  const Outcome open = rebuild({kCallOut, "Call Status = Answer", "Playing CDD"});
  EXPECT_EQ(open.calls, Texts{"<null>"});
  EXPECT_TRUE(open.errors.empty());
}

TEST(OutboundStates, WakeUpResponseJoinsShortDigits) {
  expectAbandoned(kDialling + Texts{received(10), received(5)}, "E00050006|||14|15");
  expectAbandoned(kDialling + Texts{received(10), "Playing #"}, "E00050007|||14|10");
  expectAbandoned(kDialling + Texts{kCallOutCompleted}, "E00050005|||14|0");
}

TEST(OutboundStates, WakeUpResponseMakesNoDecryptCheck) {
  // A bare "Received" after the digits is passed over by the line-sync wait.
  expectAbandoned(kDialling + Texts{received(14), "Received", kCallOutCompleted}, "E00070005|||16|0");
  expectAbandoned(kDialling + Texts{received(10), received(4), "Received", kCallOutCompleted}, "E00070005|||16|0");
}

TEST(OutboundStates, LineSyncResponseChecksSixteenDigits) {
  expectAbandoned(kLineSync + Texts{received(16), "Received"}, "E00070008|||16|16");
  expectAbandoned(kLineSync + Texts{received(15), received(3)}, "E00070016|||16|15");
  expectAbandoned(kLineSync + Texts{received(15), kCallOutCompleted}, "E00070007|||16|15");
  expectAbandoned(kLineSync + Texts{received(17)}, "E00070006|||16|17");
}

TEST(OutboundStates, SessionHeaderResponseWaitsForTheSerials) {
  test::TestProgram program;
  LineTrace(*program, 1, kStart).events(kLineSync + Texts{"Protocol Level = 3", received(16), kCallOutCompleted});
  processCalls(*program);
  EXPECT_EQ(program.rows("select protocollevel, octelserialnumber, exitcode from calls"), Texts{"3|000123|E00080999"});
}

TEST(OutboundStates, WaitForMessageHeaderResponse) {
  expectAbandoned(setUp() + Texts{"Encountered communication problems with this Node"}, "E00090005|||6|0");
  expectAbandoned(setUp() + Texts{received(6), "Received"}, "E00090008|||6|6");

  // A dial result here ends the call at the event before it and opens the next call.
  test::TestProgram program;
  LineTrace trace(*program, 1, kStart);
  trace.events(setUp());
  trace("Call Status = Busy", 3000);
  processCalls(*program);
  EXPECT_EQ(program.rows("select timestampend, exitcode from calls order by rowid"),
            (Texts{"2024-03-01 10:00:00|E00090005", "2024-03-01 10:00:03|E00010003"}));
  EXPECT_EQ(program.rows("select timestamperror, previousstatedata from errors order by rowid"),
            (Texts{"2024-03-01 10:00:00|" + kEstablished, "2024-03-01 10:00:03|" + kEstablished}));
}

TEST(OutboundStates, MessageHeaderResponseReceivedOk) {
  expectAbandoned(toHeaderResponse() + Texts{played(45)}, "E00120999|||0|0");
  EXPECT_EQ(rebuild(toHeaderResponse() + Texts{kCallOutCompleted}).calls, Texts{"OK"});
  EXPECT_EQ(rebuild(toHeaderResponse() + Texts{"Completed Retrieving Names", kCallOutCompleted}).calls, Texts{"OK"});

  // The response status gives the outcome text of the recipient written next.
  const Outcome status = rebuild(toHeaderResponse() + Texts{"Octel response status: 3", kSending});
  EXPECT_EQ(status.recipients, Texts{"200|0|Mailbox full"});

  const Outcome unreadable = rebuild(toHeaderResponse() + Texts{"Octel response status: x1", kCallOutCompleted});
  EXPECT_EQ(unreadable.reports, Texts{"(error):13 (Type mismatch) in procedure MESSAGEHEADERRESPONSE_RECEIVED_OK"});
  EXPECT_EQ(unreadable.calls, Texts{"OK"});
  const Outcome tooLarge = rebuild(toHeaderResponse() + Texts{"Octel response status: 70000"});
  EXPECT_EQ(tooLarge.reports, Texts{"(error):6 (Overflow) in procedure MESSAGEHEADERRESPONSE_RECEIVED_OK"});
}

TEST(OutboundStates, AResponseCodeWithAFractionIsRoundedHalfToEven) {
  const auto recipientsAfter = [](const Texts& run, const std::string& code) {
    const Outcome outcome = rebuild(run + Texts{"Octel response status: " + code, kSending});
    EXPECT_TRUE(outcome.reports.empty()) << code;
    return outcome.recipients;
  };
  const Texts header = toHeaderResponse();
  EXPECT_EQ(recipientsAfter(header, "13.4"), recipientsAfter(header, "13"));
  EXPECT_EQ(recipientsAfter(header, "2.5"), recipientsAfter(header, "2"));
  EXPECT_EQ(recipientsAfter(header, "3.5"), recipientsAfter(header, "4"));
  EXPECT_NE(recipientsAfter(header, "13"), recipientsAfter(header, "2"));

  // Words that are no number stay a type mismatch; a fraction past the range overflows.
  for (const char* word : {"1e3", "0x10", "nan", "13,4"}) {
    const Outcome outcome = rebuild(header + Texts{std::string("Octel response status: ") + word});
    EXPECT_EQ(outcome.reports, Texts{"(error):13 (Type mismatch) in procedure MESSAGEHEADERRESPONSE_RECEIVED_OK"})
        << word;
  }
  EXPECT_EQ(rebuild(header + Texts{"Octel response status: 32767.5"}).reports,
            Texts{"(error):6 (Overflow) in procedure MESSAGEHEADERRESPONSE_RECEIVED_OK"});

  // The same conversion in the additional-recipient exchange.
  const Outcome refused = rebuild(
      toAddressRecipient() + Texts{"Octel response status: 12.6", "Could NOT send to Recepient mailbox 202@000777"});
  EXPECT_TRUE(refused.reports.empty());
  EXPECT_EQ(refused.recipients, rebuild(toAddressRecipient() + Texts{"Octel response status: 13",
                                                                     "Could NOT send to Recepient mailbox 202@000777"})
                                    .recipients);
}

TEST(OutboundStates, AMessageLineWithoutItsRecipientAddsNone) {
  // The outcome text pending for the recipient that could not be read goes with it.
  const Outcome sent = rebuild(
      toHeaderResponse() + Texts{"Octel response status: 3", "Sending Message from mailbox 100@4444 to mailbox",
                                 "Playing Voice", "Playing #", "Received 8", "Playing 9", received(6), played(24),
                                 received(6), "Added Recepient mailbox 203", "Message Delivered", kCallOutCompleted});
  EXPECT_EQ(sent.reports, Texts{"(error):9 (Subscript out of range) in procedure sendMsg()"});
  EXPECT_EQ(sent.recipients, Texts{"203|0|"});

  // A refused message without its recipient marks no earlier recipient refused.
  const Outcome refused =
      rebuild(toSending() + Texts{"Playing Voice", "Playing #", "Received 8", "Playing 9", received(6),
                                  "Message Delivered", played(36), received(6),
                                  "Could NOT send Message from mailbox 100@4444 to mailbox", kCallOutCompleted});
  EXPECT_EQ(refused.reports, Texts{"(error):9 (Subscript out of range) in procedure couldNotSend()"});
  EXPECT_EQ(refused.recipients, Texts{"200|0|"});
}

TEST(OutboundStates, AMessageTheGatewayCouldNotSend) {
  const Texts refused = toHeaderResponse() + Texts{kCouldNotSend};
  // The next message's header.
  const Outcome next = rebuild(refused + Texts{played(36), received(6), kCallOutCompleted});
  EXPECT_EQ(next.calls, Texts{"OK"});
  EXPECT_EQ(next.tasks, Texts{"Voice Message [Incomplete]|1|0|<null>|0"});
  EXPECT_EQ(next.recipients, Texts{"201|1|"});
  EXPECT_EQ(next.counters, Texts{"1|0|1|0|0|0"});
  expectAbandoned(refused + Texts{played(30)}, "E00310999|||0|0");
  expectAbandoned(refused + Texts{kCallOutCompleted}, "E00310999|||0|0");

  const Texts notDelivered = refused + Texts{"Message NOT Delivered"};
  EXPECT_EQ(rebuild(notDelivered + Texts{"Completed delivering Messages", kCallOutCompleted}).calls, Texts{"OK"});
  EXPECT_EQ(rebuild(notDelivered + Texts{played(36), received(6), kCallOutCompleted}).calls, Texts{"OK"});
  expectAbandoned(notDelivered + Texts{kCallOutCompleted}, "E00310999|||0|0");
}

TEST(OutboundStates, SendingMessageAndAReceipt) {
  const Outcome receipt =
      rebuild(toSending() + Texts{"Message Delivered", "Completed delivering Messages", kCallOutCompleted});
  EXPECT_EQ(receipt.calls, Texts{"OK"});
  EXPECT_EQ(receipt.tasks, Texts{"Receipt|1|0|<null>|0"});
  EXPECT_EQ(receipt.counters, Texts{"1|1|1|0|0|0"});

  const Outcome cut = rebuild(toSending() + Texts{kCallOutCompleted});
  EXPECT_EQ(cut.errors, Texts{"E00280999|||0|0"});
  EXPECT_EQ(cut.tasks, Texts{"Voice Message [Incomplete]|1|0|<null>|0"});
  EXPECT_EQ(cut.recipients, Texts{"200|0|Message transmission unsuccessful"});
}

TEST(OutboundStates, AudioPlayCompleteSaveRequestOrFax) {
  expectAbandoned(toPlayComplete() + Texts{kCallOutCompleted}, "E00170005|8||1|0");
  expectAbandoned(toPlayComplete() + Texts{"Received 8", kCallOutCompleted}, "E00180999|||0|0");

  // "7" asks for the message's fax; a fax line with a path does not finish it.
  const Outcome fax =
      rebuild(toPlayComplete() + Texts{"Received 7", "Sending Fax", "Sending Fax C:\\fax\\1.tif",
                                       "Sending Fax completed", "Received 8", "Playing 9", received(6),
                                       "Message Delivered", "Completed delivering Messages", kCallOutCompleted});
  EXPECT_EQ(fax.calls, Texts{"OK"});
  EXPECT_EQ(fax.tasks, Texts{"Voice Message|1|1|<null>|0"});
  EXPECT_EQ(fax.counters, Texts{"1|1|1|0|0|0"});
}

TEST(OutboundStates, AFaxCutOff) {
  const Texts asked = toPlayComplete() + Texts{"Received 7"};
  const Outcome before = rebuild(asked + Texts{"Sending Fax C:\\fax\\1.tif", kCallOutCompleted});
  EXPECT_EQ(before.errors, Texts{"E00160999|||0|0"});
  EXPECT_EQ(before.tasks, Texts{"Voice Message [Incomplete]|1|1|<null>|0"});
  EXPECT_EQ(before.recipients, Texts{"200|0|Message transmission unsuccessful"});

  const Outcome during = rebuild(asked + Texts{"Sending Fax", kCallOutCompleted});
  EXPECT_EQ(during.errors, Texts{"E00160010|||0|0"});
  EXPECT_EQ(during.recipients, Texts{"200|0|Message transmission unsuccessful"});
}

TEST(OutboundStates, SaveResponseOkChecksTheMessageResponse) {
  const Outcome shorter = rebuild(toSaveResponse() + Texts{received(5), kCallOutCompleted});
  EXPECT_EQ(shorter.errors, Texts{"E00190007|||6|5"});
  EXPECT_EQ(shorter.tasks, Texts{"Voice Message [Incomplete]|1|0|<null>|0"});
  EXPECT_EQ(shorter.recipients, Texts{"200|0|Message transmission unsuccessful"});
  EXPECT_EQ(shorter.counters, Texts{"1|0|1|0|0|0"});
  expectAbandoned(toSaveResponse() + Texts{received(5), received(1)}, "E00190016|||6|5");
  expectAbandoned(toSaveResponse() + Texts{received(7)}, "E00190006|||6|7");
  expectAbandoned(toSaveResponse() + Texts{kCallOutCompleted}, "E00190005|||6|0");
  // Six digits count the message as sent and keep the task open (no decrypt step here).
  const Outcome sent = rebuild(toSaveResponse() + Texts{received(6), "Received"});
  EXPECT_EQ(sent.calls, Texts{"<null>"});
  EXPECT_EQ(sent.tasks, Texts{"Voice Message|0|0|<null>|0"});
}

TEST(OutboundStates, SendAdditionalRecipients) {
  for (int length : {23, 25}) {
    const Outcome outcome = rebuild(toAdditionalRecipients() + Texts{played(length)});
    EXPECT_EQ(outcome.errors, Texts{"E00100999|||0|0"}) << length;
    EXPECT_EQ(outcome.tasks, Texts{"Voice Message [Incomplete]|1|0|<null>|0"}) << length;
  }
  expectAbandoned(toAdditionalRecipients() + Texts{kCallOutCompleted}, "E00100999|||0|0");
  // "Message Delivered" ends the task complete and waits for the next header.
  const Outcome delivered = rebuild(toAdditionalRecipients() + Texts{"Message Delivered", received(6), "Received"});
  EXPECT_EQ(delivered.tasks, Texts{"Voice Message|1|0|<null>|0"});
  EXPECT_EQ(delivered.errors, Texts{"E00090008|||6|6"});
}

TEST(OutboundStates, WaitForAddRecipientResponse) {
  const Texts header = toAdditionalRecipients() + Texts{played(24)};
  const Outcome invalid = rebuild(header + Texts{received(6), "Received"});
  EXPECT_EQ(invalid.errors, Texts{"E00110008|||6|6"});
  EXPECT_EQ(invalid.tasks, Texts{"Voice Message [Incomplete]|1|0|<null>|0"});
  expectAbandoned(header + Texts{received(5), received(2)}, "E00110016|||6|5");
  // "Received 8" carries no digit string and is ignored.
  expectAbandoned(header + Texts{"Received 8", kCallOutCompleted}, "E00110005|||6|0");
}

TEST(OutboundStates, AddressAdditionalRecipients) {
  const Outcome refused = rebuild(toAddressRecipient() +
                                  Texts{"Octel response status: 13", "Could NOT send to Recepient mailbox 202@000777"});
  EXPECT_EQ(refused.recipients, (Texts{"200|0|", "202|1|Text name does not match"}));
  EXPECT_EQ(refused.counters, Texts{"1|1|2|0|0|0"});
  // A status of 0 clears the text; a mailbox without "@" is taken whole.
  const Outcome added = rebuild(toAddressRecipient() + Texts{"Octel response status: 13", "Octel response status: 0",
                                                             "Added Recepient mailbox 203"});
  EXPECT_EQ(added.recipients, (Texts{"200|0|", "203|0|"}));
  // A recipient line cut short: reported, and no recipient is added.
  const Outcome cut = rebuild(toAddressRecipient() + Texts{"Could NOT send to Recepient mailbox"});
  EXPECT_EQ(cut.recipients, (Texts{"200|0|"}));
  EXPECT_EQ(cut.reports, Texts{"(error):9 (Subscript out of range) in procedure ADDRESS_ADDITIONAL_RECIPIENTS"});

  const Outcome name = rebuild(toAddressRecipient() + Texts{played(45)});
  EXPECT_EQ(name.errors, Texts{"E00120999|||0|0"});
  EXPECT_EQ(name.tasks, Texts{"Voice Message [Incomplete]|1|0|<null>|0"});
  expectAbandoned(toAddressRecipient() + Texts{kCallOutCompleted}, "E00290999|||0|0");
}

TEST(OutboundStates, TextNameMatchOfTheFirstRecipient) {
  const Texts name = toHeaderResponse() + Texts{played(46)};
  const Outcome invalid = rebuild(name + Texts{received(6), "Received"});
  EXPECT_EQ(invalid.errors, Texts{"E00240008|||6|6"});
  EXPECT_TRUE(invalid.tasks.empty());
  expectAbandoned(name + Texts{kCallOutCompleted}, "E00240005|||6|0");

  const Texts matched = name + Texts{received(6)};
  // Only a status above 0 sets the outcome text.
  const Outcome refused = rebuild(
      matched + Texts{"Octel response status: 13", "Octel response status: 0", kCouldNotSend, kCallOutCompleted});
  EXPECT_EQ(refused.recipients, Texts{"201|1|Text name does not match"});
  EXPECT_EQ(refused.tasks, Texts{"Voice Message [Incomplete]|1|0|<null>|0"});
  EXPECT_EQ(refused.errors, Texts{"E00310999|||0|0"});
  const Outcome sent =
      rebuild(matched + Texts{kSending, "Message Delivered", "Completed delivering Messages", kCallOutCompleted});
  EXPECT_EQ(sent.calls, Texts{"OK"});
  EXPECT_EQ(sent.tasks, Texts{"Receipt|1|0|<null>|0"});
  expectAbandoned(matched + Texts{kCallOutCompleted}, "E00240005|||6|0");
  // An unreadable status fails the test and then the write it guards.
  const Outcome unreadable = rebuild(matched + Texts{"Octel response status: abc"});
  EXPECT_EQ(unreadable.reports, Texts(2, "(error):13 (Type mismatch) in procedure POST_NAME_MATCH"));
}

TEST(OutboundStates, TextNameMatchOfAFurtherRecipient) {
  const Texts name = toAddressRecipient() + Texts{played(46)};
  // The open message task ends with the call.
  const Outcome invalid = rebuild(name + Texts{received(6), "Received"});
  EXPECT_EQ(invalid.errors, Texts{"E00240008|||6|6"});
  EXPECT_EQ(invalid.tasks, Texts{"Voice Message [Incomplete]|1|0|<null>|0"});
  const Outcome cut = rebuild(name + Texts{kCallOutCompleted});
  EXPECT_EQ(cut.errors, Texts{"E00240005|||6|0"});
  EXPECT_EQ(cut.tasks, Texts{"Voice Message [Incomplete]|1|0|<null>|0"});

  const Texts matched = name + Texts{received(6)};
  const Outcome refused = rebuild(matched + Texts{"Octel response status: 3", "Octel response status: 0",
                                                  "Could NOT send to Recepient mailbox 202@000777"});
  EXPECT_EQ(refused.recipients, (Texts{"200|0|", "202|1|Mailbox full"}));
  const Outcome added = rebuild(matched + Texts{"Added Recepient mailbox 203@000777", "Message Delivered",
                                                "Completed delivering Messages", kCallOutCompleted});
  EXPECT_EQ(added.calls, Texts{"OK"});
  EXPECT_EQ(added.recipients, (Texts{"200|0|", "203|0|"}));
  EXPECT_EQ(added.counters, Texts{"1|1|2|0|0|0"});
  const Outcome ended = rebuild(matched + Texts{kCallOutCompleted});
  EXPECT_EQ(ended.errors, Texts{"E00240005|||6|0"});
  EXPECT_EQ(ended.tasks, Texts{"Voice Message [Incomplete]|1|0|<null>|0"});
}

TEST(OutboundStates, RetrievingName) {
  const Outcome shorter = rebuild(toRetrieving() + Texts{received(47), kCallOutCompleted});
  EXPECT_EQ(shorter.errors, Texts{"E00250007|||48|47"});
  EXPECT_EQ(shorter.tasks, Texts{"Admin-Retrieval [Incomplete]|1|0|<null>|0"});
  EXPECT_EQ(shorter.counters, Texts{"0|0|0|1|0|0"});
  expectAbandoned(toRetrieving() + Texts{received(49)}, "E00250006|||48|49");
  expectAbandoned(toRetrieving() + Texts{kCallOutCompleted}, "E00250005|||48|0");
}

TEST(OutboundStates, ProcessRetrievedTextName) {
  const Texts name = toRetrieving() + Texts{received(48)};
  expectAbandoned(name + Texts{kCallOutCompleted}, "E00250999|||0|0");
  // A name line without quotes: reported, the name counted all the same.
  const Outcome unquoted = rebuild(name + Texts{"Name for mailbox 300", "Completed Retrieving Names"});
  EXPECT_EQ(unquoted.reports, Texts{"(error):9 (Subscript out of range) in procedure PROCESS_RETRIEVED_TEXT_NAME"});
  EXPECT_EQ(unquoted.counters, Texts{"0|0|0|1|1|0"});
}

TEST(OutboundStates, ANameThatCouldNotBeRetrievedEndsItsTaskOnce) {
  test::TestProgram program;
  LineTrace trace(*program, 1, kStart);
  trace.events(toRetrieving() + Texts{received(48), "Could not retrieve Name for mailbox 300", played(8)});
  trace("Received #", 4000);
  trace.events({"Name Recording complete for mailbox 300", "Completed Retrieving Names", kCallOutCompleted});
  processCalls(*program);
  // Ended at "Could not retrieve Name", once; its spoken name still counts.
  EXPECT_EQ(program.rows("select tasktype, timestampend, textnamereceived, recordingreceived from tasks"),
            Texts{"Admin-Retrieval [Incomplete]|2024-03-01 10:00:01|[not available]|1"});
  EXPECT_EQ(program.rows("select exitcode, textnamesreceived, voicenamesreceived from calls"), Texts{"OK|0|1"});

  const Outcome abandoned =
      rebuild(toRetrieving() + Texts{received(48), "Could not retrieve Name for mailbox 300", kCallOutCompleted});
  EXPECT_EQ(abandoned.errors, Texts{"E00320999|||0|0"});
  EXPECT_EQ(abandoned.tasks, Texts{"Admin-Retrieval [Incomplete]|1|0|[not available]|0"});
}

// Whether the text name came or not, the next mailbox leaves the task where it ended.
TEST(OutboundStates, TheNextMailboxKeepsTheEndOfTheTaskBefore) {
  test::TestProgram program;
  LineTrace trace(*program, 1, kStart);
  trace.events(toRetrieving() + Texts{received(48), "Could not retrieve Name for mailbox 300"});
  trace("Retrieving Name for mailbox 301", 5000);
  trace.events({received(48), "Could not retrieve Name for mailbox 301", played(8), "Received #",
                "Name Recording complete for mailbox 301"});
  trace("Retrieving Name for mailbox 302", 5000);
  trace.events({received(48), "Name for mailbox 302 is \"Cy\"", "Completed Retrieving Names", kCallOutCompleted});
  processCalls(*program);
  EXPECT_EQ(program.rows("select tasktype, timestampbegin, timestampend, durationInSeconds from tasks order by rowid"),
            (Texts{"Admin-Retrieval [Incomplete]|2024-03-01 10:00:01|2024-03-01 10:00:01|0",
                   "Admin-Retrieval [Incomplete]|2024-03-01 10:00:06|2024-03-01 10:00:06|0",
                   "Admin-Retrieval|2024-03-01 10:00:11|2024-03-01 10:00:12|1"}));
  EXPECT_EQ(program.rows("select exitcode, adminnamesrequested, textnamesreceived, voicenamesreceived from calls"),
            Texts{"OK|3|1|1"});
}

TEST(OutboundStates, GetNextName) {
  const Outcome request = rebuild(toGetNextName() + Texts{played(7)});
  EXPECT_EQ(request.errors, Texts{"E00320999|||0|0"});
  EXPECT_EQ(request.tasks, Texts{"Admin-Retrieval [Incomplete]|1|0|Ann Lee|0"});
  expectAbandoned(toGetNextName() + Texts{kCallOutCompleted}, "E00320999|||0|0");
  // The next mailbox ends this task complete and starts the next one.
  const Outcome next = rebuild(toGetNextName() + Texts{"Retrieving Name for mailbox 301", kCallOutCompleted});
  EXPECT_EQ(next.tasks, (Texts{"Admin-Retrieval|1|0|Ann Lee|0", "Admin-Retrieval [Incomplete]|1|0|<null>|0"}));
  EXPECT_EQ(next.counters, Texts{"0|0|0|2|1|0"});
}

TEST(OutboundStates, TheSpokenName) {
  const Texts asked = toGetNextName() + Texts{played(8)};
  const Outcome noPound = rebuild(asked + Texts{kCallOutCompleted});
  EXPECT_EQ(noPound.errors, Texts{"E00140005|#||1|0"});
  EXPECT_EQ(noPound.tasks, Texts{"Admin-Retrieval [Incomplete]|1|0|Ann Lee|0"});
  expectAbandoned(asked + Texts{"Received ##", kCallOutCompleted}, "E00270999|||0|0");

  // After the spoken name the task has ended: the call's end abandons no task.
  const Texts recorded = asked + Texts{"Received #", "Name Recording complete for mailbox 300"};
  const Outcome ended = rebuild(recorded + Texts{kCallOutCompleted});
  EXPECT_EQ(ended.errors, Texts{"E00320999|||0|0"});
  EXPECT_EQ(ended.tasks, Texts{"Admin-Retrieval|1|0|Ann Lee|1"});
  const Outcome next =
      rebuild(recorded + Texts{"Retrieving Name for mailbox 301", received(48), "Name for mailbox 301 is \"Cy\"",
                               "Completed Retrieving Names", kCallOutCompleted});
  EXPECT_EQ(next.calls, Texts{"OK"});
  EXPECT_EQ(next.tasks, (Texts{"Admin-Retrieval|1|0|Ann Lee|1", "Admin-Retrieval|1|0|Cy|0"}));
  EXPECT_EQ(next.counters, Texts{"0|0|0|2|2|1"});
}

TEST(OutboundStates, TheWaitsForTheEndOfTheCall) {
  // Anything before the end is ignored; a dial result ends the call "OK" and opens the next.
  const Outcome delivering = rebuild(
      setUp() + Texts{"Completed delivering Messages", received(3), kCallOutCompleted + " ", "Call Status = Busy"});
  EXPECT_EQ(delivering.calls, (Texts{"OK", "E00010003"}));
  const Outcome names = rebuild(toHeaderResponse() + Texts{"Completed Retrieving Names", "Received",
                                                           "Processing messages from node: 4444 to node 000777 Done"});
  EXPECT_EQ(names.calls, Texts{"OK"});
}

}  // namespace
}  // namespace travik
