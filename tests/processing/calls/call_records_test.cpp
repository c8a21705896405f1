#include "processing/calls/call_records.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>

#include "processing/calls/call_module.h"
#include "processing/calls/process_calls.h"
#include "tests/processing/call_trace.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

using test::LineTrace;

// Writers at work on a call opened on the first event of line 1, as the walk opens one.
class CallRecordsTest : public ::testing::Test {
 protected:
  CallRecordsTest() : trace(*program, 1, DateTime(2024, 3, 1, 10, 0, 0)) { test::prepareModule(module); }

  void openCall(bool inbound) {
    test::openLine(module, 1);
    CallRow& call = module.records.newCall();
    tagCall(module);
    call.line = 1;
    call.inbound = inbound;
    module.records.saveCall();
    clearCallStats(module);
  }
  void next() { nextEvent(module); }
  std::vector<std::string> rows(const std::string& sql) {
    module.records.savePending();
    return program.rows(sql);
  }

  test::TestProgram program;
  CallModule module{*program};
  LineTrace trace;
};

TEST_F(CallRecordsTest, CallEndSetsEndDurationAndOk) {
  trace("Call Received.");
  trace.pause(4);
  trace("Incoming Call Completed.", 50);
  openCall(true);
  next();
  callEnd(module);
  EXPECT_EQ(program.rows("select callid, timestampbegin, timestampend, durationInSeconds, exitcode, inbound, line, "
                         "corvaneserialnumber, octelserialnumber, msgreceiveattempt from calls"),
            std::vector<std::string>{"03012024.100000.100.001.001|2024-03-01 10:00:00|2024-03-01 10:00:04|4|OK|1|1|"
                                     "Unknown|Unknown|0"});
}

TEST_F(CallRecordsTest, CallAbendWritesTheErrorRowAndTheSameExitCode) {
  trace("Call Status = Answer")("Received CDD")("Call Out Completed.");
  openCall(false);
  next();
  next();
  callAbend(module, Stage::WakeUp, Reason::CorvaneSerialUndefined, "BD", "CD", 2, 2);
  EXPECT_EQ(program.rows("select exitcode, durationInSeconds from calls"), std::vector<std::string>{"E00020014|0"});
  EXPECT_EQ(program.rows("select callid, timestamperror, state, statetext, reason, reasontext, exitcode, "
                         "expecteddigits, receiveddigits, expectednumberdigits, receivednumberdigits, "
                         "previousstatedata from errors"),
            std::vector<std::string>{"03012024.100000.100.001.001|2024-03-01 10:00:00|2|Wake-up|14|Corvane ser# "
                                     "undefined on Octel|E00020014|BD|CD|2|2|Received CDD"});
}

TEST_F(CallRecordsTest, TasksEndCompleteOrIncomplete) {
  trace("Call Received.")("New Message from mailbox 1@2 to 3@4");
  trace.pause(2);
  trace("Message Saved")("Processing Name Request for mailbox");
  openCall(true);
  next();
  startTask(module);
  module.records.task("p()").tasktype = "Voice Message";
  next();
  endTask(module, true);
  next();
  startTask(module);
  endTask(module, false);
  EXPECT_EQ(rows("select taskid, timestampbegin, timestampend, durationInSeconds, tasktype, numberofrecipients, "
                 "fax from tasks order by rowid"),
            (std::vector<std::string>{
                "03012024.100000.200.001.001|2024-03-01 10:00:00|2024-03-01 10:00:02|2|Voice Message|0|0",
                "03012024.100002.400.001.001|2024-03-01 10:00:02|2024-03-01 10:00:02|0| [Incomplete]|0|0"}));
}

TEST_F(CallRecordsTest, RecipientsCarryTheSerialOfTheirSide) {
  trace("Call Received.")("New Message from mailbox 1 to 2");
  openCall(true);
  module.records.call().corvaneserialnumber = "C1";
  module.records.call().octelserialnumber = "O1";
  next();
  startTask(module);
  addRecipient(module, "201");
  module.pendingRecipientInfo = "Mailbox full";
  addRecipient(module, "202");
  incompleteMessageRecipient(module);
  addRecipient(module, "203");
  module.records.call().inbound = false;
  addRecipient(module, "204");
  EXPECT_EQ(rows("select recipient, octelserialnumber, corvaneserialnumber, rejected, recipientinfo, taskid "
                 "from recipients order by rowid"),
            (std::vector<std::string>{"201|<null>|C1|0||03012024.100000.200.001.001",
                                      "202|<null>|C1|0|Message transmission unsuccessful|03012024.100000.200.001.001",
                                      "203|<null>|C1|0||03012024.100000.200.001.001",
                                      "204|O1|<null>|0||03012024.100000.200.001.001"}));
  EXPECT_EQ(program.rows("select numberofrecipients from tasks"), std::vector<std::string>{"4"});
}

TEST_F(CallRecordsTest, SendMsgAndCouldNotSendTakeTheirWords) {
  trace("Call Out Process Initiated for Node 1")("Sending Message from mailbox 100@node to mailbox 200@far")(
      "Message Delivered")("Could NOT send Message from mailbox @5 to mailbox 300")(
      "Sending Message from  mailbox 100 to mailbox 200");
  openCall(false);
  next();
  sendMsg(module);
  next();
  endTask(module, true);
  next();
  couldNotSend(module);
  next();
  const int errorsBefore = program->handledErrorCount;
  sendMsg(module);  // two blanks make an empty word and shift the rest
  EXPECT_EQ(program->handledErrorCount, errorsBefore);
  EXPECT_EQ(rows("select sender, tasktype, numberofrecipients from tasks order by rowid"),
            (std::vector<std::string>{"100|Voice Message|1", "|Voice Message|1", "mailbox|Voice Message|1"}));
  EXPECT_EQ(program.rows("select recipient, rejected from recipients order by rowid"),
            (std::vector<std::string>{"200|0", "300|1", "mailbox|0"}));
  EXPECT_EQ(program.rows("select msgsendattempt, numberrecipientssent from calls"), std::vector<std::string>{"3|3"});
}

TEST_F(CallRecordsTest, AMissingWordIsOneHandledErrorAndWritesNothing) {
  trace("Call Out Process Initiated for Node 1")("Sending Message from mailbox");
  openCall(false);
  next();
  sendMsg(module);
  EXPECT_EQ(program->handledErrorCount, 2);  // sender and recipient
  EXPECT_EQ(rows("select sender, numberofrecipients from tasks"), std::vector<std::string>{"<null>|0"});
  EXPECT_TRUE(program.rows("select recipient from recipients").empty());
}

TEST_F(CallRecordsTest, AdminTaskTakesTheSixthWordOrNull) {
  trace("Call Received.")("Processing Name Request for mailbox")("Processing Name Request for mailbox 4711 now")("");
  openCall(true);
  next();
  startInboundAdminTask(module, "Admin-Retrieval");
  next();
  startInboundAdminTask(module, "Admin-Accept Push");
  next();
  startInboundAdminTask(module, "Admin-Retrieval");
  EXPECT_EQ(rows("select tasktype, namerequestfor from tasks order by rowid"),
            (std::vector<std::string>{"Admin-Retrieval|[null]", "Admin-Accept Push|4711", "Admin-Retrieval|[null]"}));
  EXPECT_EQ(program.rows("select adminnamerequestsrecd from calls"), std::vector<std::string>{"3"});
  EXPECT_EQ(program->handledErrorCount, 0);
}

TEST_F(CallRecordsTest, WritersNeverTouchAnEarlierCallsRows) {
  trace("Call Received.")("New Message from mailbox 1 to 2")("Call Received.")("Incoming Call Completed.");
  openCall(true);
  next();
  startTask(module);
  module.records.task("p()").tasktype = "Voice Message";
  addRecipient(module, "2");
  // The next call begins; it has no task and no recipient of its own.
  next();
  module.records.saveCall();
  CallRow& second = module.records.newCall();
  tagCall(module);
  second.inbound = true;
  clearCallStats(module);
  next();
  module.records.task("p()").fax = true;
  module.records.recipient("p()").rejected = true;
  incompleteMessageRecipient(module);
  endTask(module, false);
  EXPECT_EQ(rows("select tasktype, fax, timestampend from tasks"), std::vector<std::string>{"Voice Message|0|<null>"});
  EXPECT_EQ(program.rows("select rejected, recipientinfo from recipients"), std::vector<std::string>{"0|"});
}

TEST_F(CallRecordsTest, AWriteToAnAbsentTaskOrRecipientIsReportedAndWritesNothing) {
  trace("Call Received.")("New Message from mailbox 1 to 2")("Call Received.")("Incoming Call Completed.");
  std::vector<std::string> procedures;
  module.records.reportAbsentRow = [&, report = module.records.reportAbsentRow](const HandledError& error,
                                                                                std::string_view procedure) {
    procedures.emplace_back(procedure);
    report(error, procedure);
  };
  openCall(true);
  next();
  // No task yet: the read says so, the write is reported.
  EXPECT_EQ(module.records.currentTask(), nullptr);
  module.records.task("A_STATE").tasktype = "Lost";
  EXPECT_EQ(program->handledErrorCount, 1);
  startTask(module);
  module.records.recipient("aWriter()").rejected = true;
  EXPECT_EQ(program->handledErrorCount, 2);
  addRecipient(module, "2");
  ASSERT_NE(module.records.currentRecipient(), nullptr);
  EXPECT_TRUE(module.records.consistent());
  // The next call has neither; the earlier call's rows stay as they were.
  next();
  module.records.saveCall();
  module.records.newCall();
  tagCall(module);
  module.records.task("p()").fax = true;
  module.records.recipient("p()").recipientinfo = "Lost";
  EXPECT_EQ(program->handledErrorCount, 4);
  // Each under the procedure that made the write.
  EXPECT_EQ(procedures, (std::vector<std::string>{"A_STATE", "aWriter()", "p()", "p()"}));
  EXPECT_TRUE(module.records.consistent());
  EXPECT_EQ(rows("select tasktype, fax from tasks"), std::vector<std::string>{"<null>|0"});
  EXPECT_EQ(program.rows("select rejected, recipientinfo from recipients"), std::vector<std::string>{"0|"});
}

TEST_F(CallRecordsTest, ReadsMarkNothingChanged) {
  trace("Call Received.")("New Message from mailbox 1 to 2")("Incoming Call Completed.");
  openCall(true);
  next();
  startTask(module);
  addRecipient(module, "2");
  module.records.savePending();
  // Reading the saved rows must not make the next save write them again.
  const std::int64_t before = sqlite3_total_changes64(module.program.db.handle());
  EXPECT_EQ(module.records.currentCall().line, 1);
  EXPECT_EQ(module.records.currentTask()->numberofrecipients, 1);
  EXPECT_EQ(module.records.currentRecipient()->recipient, "2");
  module.records.savePending();
  EXPECT_EQ(sqlite3_total_changes64(module.program.db.handle()), before);
  EXPECT_TRUE(module.records.consistent());
}

// The invariants hold after every save of a call with tasks and recipients,
// inside the line's transaction (rows wait for their inserts) and across an
// error report's commit in the middle of the call.
TEST_F(CallRecordsTest, TheRowsStayConsistentAfterEverySave) {
  trace("Call Received.")("New Message from mailbox 1 to 2")("Message Saved")("Incoming Call Completed.");
  beginLineTransaction(module);
  std::string why;
  const auto check = [&](const char* step) { EXPECT_TRUE(module.records.consistent(&why)) << step << ": " << why; };
  openCall(true);
  check("call opened");
  next();
  startTask(module);
  check("task started");
  addRecipient(module, "201");
  check("first recipient");
  reportCallError(module, HandledError(9, "Subscript out of range"), "test()");
  check("error report");
  module.records.call().protocollevel = "3";
  addRecipient(module, "202");
  check("second recipient");
  incompleteMessageRecipient(module);
  check("recipient marked");
  next();
  endTask(module, true);
  check("task ended");
  next();
  callEnd(module);
  check("call ended");
  module.records.savePending();
  check("saved");
  commitLineTransaction(module);
  check("committed");
  EXPECT_EQ(program.rows("select protocollevel, exitcode from calls"), std::vector<std::string>{"3|OK"});
  EXPECT_EQ(program.rows("select recipient, recipientinfo from recipients order by rowid"),
            (std::vector<std::string>{"201|", "202|Message transmission unsuccessful"}));
}

// Most rows reach their table with one insert: a call, its task and its
// recipients are saved twice or more in the line's transaction, written once.
TEST(CallRecordsWrites, ALineOfCallsTakesOneInsertPerRowAndFewUpdates) {
  test::TestProgram program;
  test::LineTrace trace(*program, 1, DateTime(2024, 3, 1, 10, 0, 0));
  const std::vector<std::string> call = {"Call Received.",   "Received BD",
                                         test::received(18), "Protocol Level = 3",
                                         test::received(16), "Call received from Serial # 111 to Serial # 222",
                                         test::received(36), "New Message from mailbox 100 to mailbox 200",
                                         test::received(46), "Recording completed",
                                         "Received #",       "Received 9",
                                         test::received(24), "Added Recepient mailbox 300",
                                         test::received(46), "Message Saved",
                                         test::received(36), "Incoming Call Completed."};
  for (int i = 0; i < 3; ++i) trace.events(call);
  std::map<std::string, int> statements;
  sqlite3_trace_v2(
      program->db.handle(), SQLITE_TRACE_STMT,
      [](unsigned, void* counts, void* statement, void*) {
        const std::string sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
        for (const char* table : {"calls", "tasks", "recipients"})
          for (const char* verb : {"insert into ", "update "})
            if (sql.rfind(std::string(verb) + table + " ", 0) == 0)
              ++(*static_cast<std::map<std::string, int>*>(counts))[std::string(verb) + table];
        return 0;
      },
      &statements);
  processCalls(*program);
  sqlite3_trace_v2(program->db.handle(), 0, nullptr, nullptr);
  EXPECT_EQ(program.rows("select count(*), sum(exitcode = 'OK') from calls"), std::vector<std::string>{"3|3"});
  EXPECT_EQ(program.rows("select count(*) from recipients"), std::vector<std::string>{"6"});
  EXPECT_EQ(
      statements,
      (std::map<std::string, int>{
          {"insert into calls", 3}, {"insert into tasks", 3}, {"insert into recipients", 6}, {"update tasks", 3}}));
}

}  // namespace
}  // namespace travik
