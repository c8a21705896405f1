// Whole inbound calls, from stored trace events through the line walk and
// the inbound machine to the rows they leave.
#include "processing/calls/inbound_call_machine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "processing/calls/process_calls.h"
#include "tests/processing/call_trace.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

using Rows = std::vector<std::string>;
using Texts = std::vector<std::string>;

const DateTime kStart(2024, 3, 1, 10, 0, 0);

using test::received;
std::string playing(int n) { return "Playing " + received(n).substr(9); }

Texts concat(std::initializer_list<Texts> parts) {
  Texts all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// From "Call Received." to MESSAGEHEADER_RECEIVED_OK (header accepted, serials known).
const Texts kSetUp = {"Call Received.",     "Received BD", received(18),
                      "Protocol Level = 3", received(16),  "Call received from Serial # 111 to Serial # 222",
                      received(36)};
// MESSAGEHEADER_RECEIVED_OK to MESSAGEINFO_RECEIVED_OK: a message from 100 to 200.
const Texts kNewMessage = {"New Message from mailbox 100 to mailbox 200", received(46)};
// MESSAGEINFO_RECEIVED_OK to RECEIVEDNINE_OK: recorded and saved by the node.
const Texts kRecorded = {"Recording completed", "Received #", "Received 9"};

class InboundCall : public ::testing::Test {
 protected:
  InboundCall() : program(false) {}
  void run(const Texts& texts, int line = 1) {
    test::LineTrace(*program, line, kStart).events(texts);
    processCalls(*program);
  }
  Rows calls() {
    return program.rows(
        "select exitcode, corvaneserialnumber, octelserialnumber, protocollevel, msgreceiveattempt, "
        "msgreceivesuccess, numberrecipientssent, adminnamerequestsrecd, textnamesreceived, voicenamesreceived, "
        "textnamessent, voicenamessent from calls order by rowid");
  }
  Rows errors() {
    return program.rows(
        "select state, statetext, reason, reasontext, expecteddigits, receiveddigits, expectednumberdigits, "
        "receivednumberdigits from errors order by rowid");
  }
  // stage|reason|expected count|received count of the only error row.
  std::string failure() {
    Rows rows = program.rows(
        "select state || '|' || reason || '|' || expectednumberdigits || '|' || receivednumberdigits from errors");
    return rows.size() == 1 ? rows[0] : "rows: " + std::to_string(rows.size());
  }
  Rows tasks() {
    return program.rows(
        "select tasktype, sender, numberofrecipients, fax, namerequestfor, textnamereceived, recordingreceived, "
        "textnamesent, recordingsent, timestampend is not null from tasks order by rowid");
  }
  Rows recipients() {
    return program.rows(
        "select recipient, corvaneserialnumber, octelserialnumber, rejected, recipientinfo from recipients "
        "order by rowid");
  }

  test::TestProgram program;
};

TEST_F(InboundCall, AMessageToTwoRecipients) {
  run(concat({kSetUp,
              kNewMessage,
              kRecorded,
              {received(24), "Added Recepient mailbox 300", received(46), "Message Saved", received(36),
               "Incoming Call Completed."}}));
  EXPECT_EQ(calls(), Rows{"OK|222|111|3|1|1|2|0|0|0|0|0"});
  EXPECT_EQ(tasks(), Rows{"Voice Message|100|2|0|<null>|<null>|0|<null>|0|1"});
  EXPECT_EQ(recipients(), (Rows{"200|222|<null>|0|", "300|222|<null>|0|"}));
  EXPECT_TRUE(errors().empty());
  EXPECT_EQ(program->handledErrorCount, 0);
}

TEST_F(InboundCall, AWordMissingFromALineLeavesItsColumnAsItWas) {
  run(concat({{"Call Received.", "Received BD", received(18), "Protocol Level = 3", "Protocol Level =", received(16),
               "Call received from Serial # 111 to Serial #", received(36), "New Message from mailbox 100 to mailbox",
               received(46)},
              kRecorded,
              {received(24), "Added Recepient mailbox", received(24), "Added Recepient mailbox 300", "Message Saved",
               received(36), "Incoming Call Completed."}}));
  // The serial that was not read stays "Unknown"; the protocol level stays 3.
  EXPECT_EQ(calls(), Rows{"OK|Unknown|111|3|1|1|3|0|0|0|0|0"});
  // Only the recipient whose mailbox was read is added.
  EXPECT_EQ(tasks(), Rows{"Voice Message|100|1|0|<null>|<null>|0|<null>|0|1"});
  EXPECT_EQ(recipients(), Rows{"300|Unknown|<null>|0|"});
  Texts reports;
  for (const auto& box : program.host.boxes) reports.push_back(box.text);
  EXPECT_EQ(reports, (Texts{"(error):9 (Subscript out of range) in procedure LINESYNC_RECEIVED_OK",
                            "(error):9 (Subscript out of range) in procedure SESSIONHEADER_RECEIVED_OK",
                            "(error):9 (Subscript out of range) in procedure MESSAGEHEADER_RECEIVED_OK",
                            "(error):9 (Subscript out of range) in procedure ADDITIONAL_RECIPIENT"}));
}

TEST_F(InboundCall, TwoMessagesInOneCall) {
  run(concat({kSetUp,
              kNewMessage,
              kRecorded,
              {"Message Saved", received(36)},
              kNewMessage,
              kRecorded,
              {"Message Saved", received(36), "Incoming Call Completed."}}));
  EXPECT_EQ(calls(), Rows{"OK|222|111|3|2|2|2|0|0|0|0|0"});
  EXPECT_EQ(tasks().size(), 2u);
}

TEST_F(InboundCall, AnAcceptedNamePushWithASpokenName) {
  run(concat({kSetUp,
              {received(22), "Processing Name Push for mailbox 4711", "Accept Name Push for mailbox 4711", received(18),
               "Receive alias response for mailbox 4711 with alias=yes", received(48),
               "Receive text name for mailbox 4711 \"Jane Doe\"", "Recording Spoken Name for mailbox 4711",
               "Received #", "Send admin response with nFlag 1", "Incoming Call Completed."}}));
  EXPECT_EQ(calls(), Rows{"OK|222|111|3|0|0|0|1|1|1|0|0"});
  EXPECT_EQ(tasks(), Rows{"Admin-Accept Push|<null>|0|0|4711|Jane Doe|1|<null>|0|1"});
}

TEST_F(InboundCall, ATextOnlyNamePushAndARejectedOne) {
  run(concat(
      {kSetUp,
       {received(22), "Processing Name Push for mailbox 4711", "Accept Name Push for mailbox 4711", received(18),
        "Receive alias response for mailbox 4711 ALIAS=NO", received(48),
        "Receive text name for mailbox 4711 \"Jo\" and \"more\"", "Send admin response with nFlag 0", received(22),
        "Processing Name Push for mailbox 12", "Reject Name Push for mailbox 12", "Incoming Call Completed."}}));
  EXPECT_EQ(tasks(), (Rows{"Admin-Accept Push|<null>|0|0|4711|Jo|0|<null>|0|1",
                           "Admin-Reject Push|<null>|0|0|12|<null>|0|<null>|0|1"}));
  EXPECT_EQ(calls(), Rows{"OK|222|111|3|0|0|0|2|1|0|0|0"});
}

TEST_F(InboundCall, AliasResponseNoOnlyInTheSeventhWord) {
  // "=no" in the sixth word: a spoken name is still awaited.
  run(concat({kSetUp,
              {received(22), "Processing Name Push for mailbox 4711", "Accept Name Push for mailbox 4711", received(18),
               "Receive alias response for mailbox =no 4711", received(48), "Receive text name for mailbox 4711 \"Jo\"",
               "Send admin response with nFlag 0", "Incoming Call Completed."}}));
  EXPECT_EQ(errors(), Rows{"27|Recording Voice Name|999|Unknown|||0|0"});
  EXPECT_EQ(program.rows("select previousstatedata from errors"), Rows{"Send admin response with nFlag 0"});
  EXPECT_EQ(tasks(), Rows{"Admin-Accept Push [Incomplete]|<null>|0|0|4711|Jo|0|<null>|0|1"});
}

TEST_F(InboundCall, AnAliasResponseWithoutItsSeventhWordCountsAsNo) {
  // The missing word fails the test, which then counts as held: text name only.
  run(concat({kSetUp,
              {received(22), "Processing Name Push for mailbox 4711", "Accept Name Push for mailbox 4711", received(18),
               "Receive alias response for mailbox 4711", received(48), "Receive text name for mailbox 4711 \"Jo\"",
               "Send admin response with nFlag 0", "Incoming Call Completed."}}));
  ASSERT_EQ(program.host.boxes.size(), 1u);
  EXPECT_EQ(program.host.boxes[0].text, "(error):9 (Subscript out of range) in procedure PUSH_READ_ALIAS_RESPONSE");
  EXPECT_EQ(calls(), Rows{"OK|222|111|3|0|0|0|1|1|0|0|0"});
  EXPECT_EQ(tasks(), Rows{"Admin-Accept Push|<null>|0|0|4711|Jo|0|<null>|0|1"});
  EXPECT_TRUE(errors().empty());
}

TEST_F(InboundCall, ANameRetrieval) {
  run(concat(
      {kSetUp,
       {received(22), "Processing Name Request for mailbox 55", "Read Name from DB. Name for mailbox 55 is \"Ann Lee\"",
        "Playing Spoken Name for mailbox 55", "Playing #", received(8), "Incoming Call Completed."}}));
  EXPECT_EQ(calls(), Rows{"OK|222|111|3|0|0|0|1|0|0|1|1"});
  EXPECT_EQ(tasks(), Rows{"Admin-Retrieval|<null>|0|0|55|<null>|0|Ann Lee|1|1"});
}

TEST_F(InboundCall, NameRetrievalShortcuts) {
  // Received 22 digits in PROCESS_VOICE_NAME_SEND end the task and start the
  // next request; played 48 digits in PROCESS_TEXT_NAME_SEND end it at once.
  run(concat({kSetUp,
              {received(22), "Processing Name Request for mailbox 55",
               "Read Name from DB. Name for mailbox 55 is \"Ann\"", received(8), received(22),
               "Processing Name Request for mailbox 56", playing(48), "Incoming Call Completed."}}));
  EXPECT_EQ(calls(), Rows{"OK|222|111|3|0|0|0|2|0|0|1|0"});
  EXPECT_EQ(tasks(), (Rows{"Admin-Retrieval|<null>|0|0|55|<null>|0|Ann|0|1",
                           "Admin-Retrieval|<null>|0|0|56|<null>|0|<null>|0|1"}));
}

TEST_F(InboundCall, TheCallerHangsUpAfterTheRecording) {
  run(concat({kSetUp, kNewMessage, {"Recording completed", "Incoming Call Completed."}}));
  EXPECT_EQ(errors(), Rows{"14|Audio Terminator|5|Expected Data Not Received|#||1|0"});
  EXPECT_EQ(program.rows("select previousstatedata, exitcode, timestamperror from errors"),
            Rows{"Recording completed|E00140005|2024-03-01 10:00:01"});
  EXPECT_EQ(program.rows("select exitcode, timestampend from calls"), Rows{"E00140005|2024-03-01 10:00:01"});
  EXPECT_EQ(tasks(), Rows{"Voice Message [Incomplete]|100|1|0|<null>|<null>|0|<null>|0|1"});
  EXPECT_EQ(recipients(), Rows{"200|222|<null>|0|Message transmission unsuccessful"});
}

TEST_F(InboundCall, EventsEndingRightAfterTheOpeningLeaveTheCallOpen) {
  run({"Call Received."});
  EXPECT_EQ(program.rows("select timestampend, exitcode, corvaneserialnumber, msgreceiveattempt from calls"),
            Rows{"<null>|<null>|Unknown|0"});
  EXPECT_TRUE(tasks().empty());
  EXPECT_TRUE(errors().empty());
}

TEST_F(InboundCall, WakeUp) {
  // "Playing BD" directly followed by "Playing CDD" is a wake-up; repeated "Received BD" ignored.
  run(concat({{"Call Received.", "Playing BD", "Playing CDD", "Received BD", received(10), received(8), received(16),
               "Incoming Call Completed."}}));
  EXPECT_EQ(failure(), "8|5|36|0");
}

struct DigitCase {
  const char* name;
  Texts events;
  const char* failure;  // stage|reason|expected|received
};
void PrintTo(const DigitCase& digitCase, std::ostream* out) { *out << digitCase.name; }

class InboundDigits : public InboundCall, public ::testing::WithParamInterface<DigitCase> {};

TEST_P(InboundDigits, Failure) {
  run(GetParam().events);
  EXPECT_EQ(failure(), GetParam().failure);
  EXPECT_EQ(program.rows("select exitcode like 'E%' from calls"), Rows{"1"});
}

const Texts kToState3 = {"Call Received.", "Received BD", received(18)};
// An event after a short digit string that carries no digits: without one
// the string might go on in events not stored yet, and the call stays open.
const std::string kNoDigits = "Playing BD";
const Texts kToState4 = {"Call Received.", "Received BD", received(18), received(16)};

INSTANTIATE_TEST_SUITE_P(
    Boundaries, InboundDigits,
    ::testing::Values(
        DigitCase{"CdInsteadOfBd", {"Call Received.", "Received CD"}, "2|14|2|2"},
        DigitCase{"HangUpBeforeWakeUp", {"Call Received.", "Incoming Call Completed."}, "2|5|2|0"},
        DigitCase{"BdAfterCdd",
                  {"Call Received.", "Received BD", "Received BD after sending CDD - terminating call."},
                  "4|15|18|2"},
        DigitCase{"WakeUpTenThenOther", {"Call Received.", "Received BD", received(10), "Playing BD"}, "4|7|18|10"},
        DigitCase{"WakeUpTenThenTen", {"Call Received.", "Received BD", received(10), received(10)}, "4|6|18|20"},
        DigitCase{"WakeUp19Not812", {"Call Received.", "Received BD", received(19)}, "4|6|18|19"},
        DigitCase{
            "WakeUp812ThenHangUp",
            {"Call Received.", "Received BD", "Received 812" + received(16).substr(9), "Incoming Call Completed."},
            "4|6|18|19"},
        DigitCase{"HandshakeFailed", concat({kToState3, {"Initial handshake failed. Received either bad data"}}),
                  "4|13|0|0"},
        DigitCase{"LineSyncNotDecrypted", concat({kToState3, {received(16), "Received"}}), "6|8|16|16"},
        DigitCase{"LineSync15ThenDigits", concat({kToState3, {received(15), received(1)}}), "6|16|16|15"},
        DigitCase{"LineSync15ThenOther", concat({kToState3, {received(15), "Playing CDD"}}), "6|7|16|15"},
        DigitCase{"LineSync17", concat({kToState3, {received(17)}}), "6|6|16|17"},
        DigitCase{"HangUpInLineSync", concat({kToState3, {"Incoming Call Completed."}}), "6|5|16|0"},
        DigitCase{"Received9AsHeader", concat({kToState4, {"Received 9", "Playing BD"}}), "8|7|36|1"},
        DigitCase{"AdminPushRejected", concat({kToState4, {received(18)}}), "22|11|0|18"},
        DigitCase{"NotConfigured",
                  concat({kToState4,
                          {"Serial 55 from node 7 that is not configured on Varnel. This call will be "
                           "abandoned"}}),
                  "6|12|0|0"},
        DigitCase{"HangUpAfterMessageSaved",
                  concat({kSetUp, kNewMessage, kRecorded, {"Message Saved", "Incoming Call Completed."}}), "8|5|36|0"},
        DigitCase{"AdminRequest21", concat({kSetUp, {received(21), kNoDigits}}), "20|7|22|21"},
        DigitCase{"Confirmation45", concat({kSetUp, kNewMessage, {received(45), received(1)}}), "12|16|46|45"},
        DigitCase{"Confirmation47", concat({kSetUp, kNewMessage, {received(47)}}), "12|6|46|47"},
        DigitCase{"ConfirmationNotDecrypted", concat({kSetUp, kNewMessage, {received(46), "received"}}), "12|8|46|46"},
        DigitCase{"HangUpWhileRecording", concat({kSetUp, kNewMessage, {"Incoming Call Completed."}}), "26|999|0|0"},
        DigitCase{"HangUpBeforeSave",
                  concat({kSetUp, kNewMessage, {"Recording completed", "Received #", "Incoming Call Completed."}}),
                  "18|5|1|0"},
        DigitCase{
            "FaxNeverEnds",
            concat({kSetUp,
                    kNewMessage,
                    {"Recording completed", "Received #", "Playing 7", "Receiving Fax", "Incoming Call Completed."}}),
            "16|10|0|0"},
        DigitCase{"AdditionalHeader23", concat({kSetUp, kNewMessage, kRecorded, {received(23), kNoDigits}}),
                  "10|7|24|23"},
        DigitCase{"AddRecipient24NotDecrypted",
                  concat({kSetUp, kNewMessage, kRecorded, {received(24), received(24), "Received"}}), "29|8|24|24"},
        DigitCase{"AddRecipient30", concat({kSetUp, kNewMessage, kRecorded, {received(24), received(30), kNoDigits}}),
                  "29|6|24|30"},
        DigitCase{"AddRecipient31", concat({kSetUp, kNewMessage, kRecorded, {received(24), received(31), kNoDigits}}),
                  "8|7|36|31"},
        DigitCase{"AddRecipient40ThenDigits",
                  concat({kSetUp, kNewMessage, kRecorded, {received(24), received(40), received(2)}}), "8|16|36|40"},
        DigitCase{"AddRecipient47ThenDigits",
                  concat({kSetUp, kNewMessage, kRecorded, {received(24), received(47), received(2)}}), "12|6|46|47"},
        DigitCase{"AddRecipient20ThenDigits",
                  concat({kSetUp, kNewMessage, kRecorded, {received(24), received(20), received(4)}}), "29|16|24|20"},
        DigitCase{"AdminRequestHangUp", concat({kSetUp, {received(22), "Incoming Call Completed."}}), "20|999|0|0"},
        DigitCase{"Alias17",
                  concat({kSetUp,
                          {received(22), "Processing Name Push for mailbox 1", "Accept Name Push for mailbox 1",
                           received(17), kNoDigits}}),
                  "21|7|18|17"},
        DigitCase{"PushedName49",
                  concat({kSetUp,
                          {received(22), "Processing Name Push for mailbox 1", "Accept Name Push for mailbox 1",
                           received(18), "Receive alias response for mailbox 1 a b", received(49)}}),
                  "24|6|48|49"},
        DigitCase{
            "HangUpBeforePound",
            concat({kSetUp,
                    {received(22), "Processing Name Push for mailbox 1", "Accept Name Push for mailbox 1", received(18),
                     "Receive alias response for mailbox 1 a b", received(48), "Receive text name for mailbox 1 \"X\"",
                     "Recording Spoken Name for mailbox 1", "Incoming Call Completed."}}),
            "14|5|1|0"},
        DigitCase{"PlayedDigits20",
                  concat({kSetUp, {received(22), "Processing Name Request for mailbox 5", playing(20)}}), "24|999|0|0"},
        DigitCase{"Confirmation7",
                  concat({kSetUp,
                          {received(22), "Processing Name Request for mailbox 5",
                           "Read Name from DB. Name for mailbox 5 \"A\"", "Playing Spoken Name for mailbox 5",
                           "Playing #", received(7), "Playing BD"}}),
                  "23|7|8|7"},
        DigitCase{"Confirmation9",
                  concat({kSetUp,
                          {received(22), "Processing Name Request for mailbox 5",
                           "Read Name from DB. Name for mailbox 5 \"A\"", "Playing Spoken Name for mailbox 5",
                           "Playing #", received(9)}}),
                  "23|6|8|9"},
        DigitCase{"HangUpBeforeConfirmation",
                  concat({kSetUp,
                          {received(22), "Processing Name Request for mailbox 5",
                           "Read Name from DB. Name for mailbox 5 \"A\"", "Playing Spoken Name for mailbox 5",
                           "Playing #", "Incoming Call Completed."}}),
                  "23|5|8|0"}),
    [](const ::testing::TestParamInfo<DigitCase>& info) { return std::string(info.param.name); });

TEST_F(InboundCall, ARejectedRecipientRestoresTheCount) {
  run(concat({kSetUp,
              {"New Message from mailbox 100 to mailbox 200", received(36)},
              {"New Message from mailbox 100 to mailbox 201"},
              kRecorded,
              {"Message Saved", received(36), "Incoming Call Completed."}}));
  EXPECT_EQ(calls(), Rows{"OK|222|111|3|2|1|1|0|0|0|0|0"});
  EXPECT_EQ(recipients(), (Rows{"200|222|<null>|1|", "201|222|<null>|0|"}));
  EXPECT_EQ(program.rows("select tasktype from tasks order by rowid"), (Rows{"Voice Message", "Voice Message"}));
}

TEST_F(InboundCall, AFax) {
  run(concat({kSetUp,
              kNewMessage,
              {"Recording completed", "Received #", "Playing 7", "Receiving Fax", "Receiving Fax C:\\fax\\1.tif",
               "Receiving Fax complete", "Received 9", "Message Saved", received(36), "Incoming Call Completed."}}));
  EXPECT_EQ(calls(), Rows{"OK|222|111|3|1|1|1|0|0|0|0|0"});
  EXPECT_EQ(program.rows("select fax, tasktype from tasks"), Rows{"1|Voice Message"});
}

TEST_F(InboundCall, HangUpAfterTheSaveKeepsItsCount) {
  run(concat({kSetUp, kNewMessage, kRecorded, {"Incoming Call Completed."}}));
  EXPECT_EQ(failure(), "19|999|0|0");
  EXPECT_EQ(calls(), Rows{"E00190999|222|111|3|1|1|1|0|0|0|0|0"});
  EXPECT_EQ(recipients(), Rows{"200|222|<null>|0|"});
  EXPECT_EQ(program.rows("select tasktype from tasks"), Rows{"Voice Message [Incomplete]"});
}

TEST_F(InboundCall, AMissingQuoteIsReportedUnderTheStateName) {
  run(concat({kSetUp,
              {received(22), "Processing Name Push for mailbox 4711", "Accept Name Push for mailbox 4711", received(18),
               "Receive alias response for mailbox 4711 =no", received(48),
               "Receive text name for mailbox 4711 without quotes", "Send admin response with nFlag 0",
               "Incoming Call Completed."}}));
  ASSERT_EQ(program.host.boxes.size(), 1u);
  EXPECT_EQ(program.host.boxes[0].text, "(error):9 (Subscript out of range) in procedure READ_PUSHED_TEXT_NAME");
  // The count and the transition still follow.
  EXPECT_EQ(calls(), Rows{"OK|222|111|3|0|0|0|1|1|0|0|0"});
  // The name that could not be read is not written.
  EXPECT_EQ(program.rows("select textnamereceived, tasktype from tasks"), Rows{"<null>|Admin-Accept Push"});
}

TEST_F(InboundCall, AWriteToAnAbsentRecipientIsReportedUnderTheStateThatMadeIt) {
  // The header names no recipient, so none is added; the next header refuses
  // the recipient that is not there.
  run(concat({kSetUp, {"New Message from mailbox 100 to mailbox", received(36), "Incoming Call Completed."}}));
  Texts reports;
  for (const auto& box : program.host.boxes) reports.push_back(box.text);
  EXPECT_EQ(reports, (Texts{"(error):9 (Subscript out of range) in procedure MESSAGEHEADER_RECEIVED_OK",
                            "(error):3021 (Either BOF or EOF is True, or the current record has been deleted. "
                            "Requested operation requires a current record.) in procedure MESSAGEINFO_RECEIVED_OK"}));
  EXPECT_EQ(calls(), Rows{"OK|222|111|3|1|0|0|0|0|0|0|0"});
  EXPECT_EQ(tasks(), Rows{"Voice Message|100|0|0|<null>|<null>|0|<null>|0|1"});
  EXPECT_TRUE(recipients().empty());
}

TEST_F(InboundCall, UntestedEventsNeverEndTheCall) {
  run(concat({{"Call Received.", "noise", "Received BD", "Playing CDD", received(18), "Message Saved", received(16),
               "LineMonitor thread is running", received(36), "whatever", "Incoming Call Completed."}}));
  EXPECT_EQ(program.rows("select exitcode from calls"), Rows{"OK"});
}

// The rows of all four call tables, in a fixed order.
Rows everything(test::TestProgram& program) {
  Rows all;
  for (const char* sql :
       {"select * from calls order by callid", "select * from tasks order by taskid",
        "select * from recipients order by taskid, recipient", "select * from errors order by callid"})
    for (auto& row : program.rows(sql)) all.push_back(row);
  return all;
}

// What the removal of stale data does before each run: open calls go, with their rows.
void removeOpenCalls(Program& program) {
  for (const char* table : {"tasks", "recipients", "errors"})
    program.db.exec(std::string("delete from ") + table +
                    " where callid in (select callid from calls where timestampend is null)");
  program.db.exec("delete from calls where timestampend is null");
}

TEST(InboundCallRuns, ACallSplitAcrossTwoRunsIsRebuiltIdentically) {
  const Texts first = concat({{"Call Received.", "Received BD", received(18)},
                              {received(16), "Call received from Serial # 111 to Serial # 222", received(36)},
                              kNewMessage,
                              kRecorded,
                              {"Message Saved", received(36), "Incoming Call Completed."}});
  const Texts second = concat({{"Call Received.", "Received BD", received(18), received(16), received(36)},
                               kNewMessage,
                               {"Recording completed", "Incoming Call Completed."}});
  const Texts third = {"Call Received.", "Received BD", received(18),
                       received(16),     received(36),  "Incoming Call Completed."};

  // Calls on one line that begin in the second their predecessor ended are
  // not read again by a later run, so the calls here are seconds apart.
  test::TestProgram once;
  {
    test::LineTrace line1(*once, 1, kStart);
    line1.events(first);
    line1.pause(2);
    line1.events(second);
    line1.pause(5);
    line1.events(third);
    test::LineTrace(*once, 2, kStart).events(second).events(third);
  }
  processCalls(*once);

  test::TestProgram split;
  test::LineTrace line1(*split, 1, kStart);
  test::LineTrace line2(*split, 2, kStart);
  // Run 1 stops in the middle of the second call on line 1 and of the first on line 2.
  line1.events(first);
  line1.pause(2);
  line1.events(Texts(second.begin(), second.begin() + 6));
  line2.events(Texts(second.begin(), second.begin() + 3));
  processCalls(*split);
  EXPECT_EQ(split.rows("select count(*) from calls where timestampend is null"), Rows{"2"});
  removeOpenCalls(*split);
  line1.events(Texts(second.begin() + 6, second.end()));
  line1.pause(5);
  line1.events(third);
  line2.events(Texts(second.begin() + 3, second.end())).events(third);
  processCalls(*split);

  EXPECT_EQ(everything(split), everything(once));
  EXPECT_EQ(once.rows("select count(*) from calls"), Rows{"5"});
  EXPECT_EQ(once->handledErrorCount, 0);
  EXPECT_EQ(split->handledErrorCount, 0);
}

}  // namespace
}  // namespace travik
