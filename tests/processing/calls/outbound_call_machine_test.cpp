// Whole outbound calls rebuilt from trace lines, end to end through the line
// walk, and one mixed trace folder processed in one run and in three.
#include "processing/calls/outbound_call_machine.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "processing/calls/process_calls.h"
#include "tests/processing/calls/outbound_call_machine_trace.h"

namespace travik {
namespace {

using test::LineTrace;
using namespace test::outbound;

using Texts = std::vector<std::string>;

TEST(OutboundCall, OneMessageDelivered) {
  test::TestProgram program;
  LineTrace trace(*program, 1, kStart);
  trace.events(setUp() + Texts{played(36), received(6), "Octel response status: 0", kSending, "Playing Voice"});
  trace("Playing #", 20000);
  trace.events({"Received 8", "Playing 9", received(6), "Message Delivered", "Completed delivering Messages"});
  trace(kCallOutCompleted, 1000);

  processCalls(*program);

  const Rows rows = rowsOf(program);
  EXPECT_EQ(rows.calls, Texts{"OK|2024-03-01 10:00:00|2024-03-01 10:00:22|22|000777|4444|3|1|1|1|0|0|0|"
                              "03012024.100000.100.001.001"});
  EXPECT_EQ(rows.tasks, Texts{"Voice Message|0|100|1|<null>|<null>|0|2024-03-01 10:00:01|2024-03-01 10:00:21|20|"
                              "03012024.100001.100.001.001|03012024.100000.100.001.001"});
  // An outbound recipient carries the Octel node's serial only.
  EXPECT_EQ(rows.recipients, Texts{"200|000777|<null>|0||03012024.100001.100.001.001|03012024.100000.100.001.001"});
  EXPECT_TRUE(rows.errors.empty());
  EXPECT_EQ(program->handledErrorCount, 0);
}

TEST(OutboundCall, TwoNamesRetrievedOneWithItsSpokenName) {
  test::TestProgram program;
  LineTrace trace(*program, 1, kStart);
  // The wake-up response arrives as ten digits and four more.
  trace.events({"Processing Pending Callout to Node 000123", "Call Status = Answer", "Received CDD", received(10),
                received(4), "Protocol Level = 2", received(16), kEstablished, played(36), received(6),
                "Retrieving Name for mailbox 300", received(48), "Name for mailbox 300 is \"Ann Lee\"", played(8)});
  trace("Received #", 3000);
  trace.events({"Name Recording complete for mailbox 300", "Retrieving Name for mailbox 301", received(48),
                "Name for mailbox 301 is \"Bo  Chan Jr\"", "Completed Retrieving Names", kCallOutCompleted});

  processCalls(*program);

  const Rows rows = rowsOf(program);
  EXPECT_EQ(rows.calls, Texts{"OK|2024-03-01 10:00:00|2024-03-01 10:00:05|5|000777|4444|2|0|0|0|2|2|1|"
                              "03012024.100000.100.001.001"});
  EXPECT_EQ(rows.tasks, (Texts{"Admin-Retrieval|0|<null>|0|300|Ann Lee|1|2024-03-01 10:00:01|2024-03-01 10:00:04|3|"
                               "03012024.100001.100.001.001|03012024.100000.100.001.001",
                               "Admin-Retrieval|0|<null>|0|301|Bo  Chan Jr|0|2024-03-01 10:00:04|2024-03-01 10:00:04|0|"
                               "03012024.100004.600.001.001|03012024.100000.100.001.001"}));
  EXPECT_TRUE(rows.recipients.empty());
  EXPECT_TRUE(rows.errors.empty());
}

TEST(OutboundCall, AFailureInMidCallFollowedByTheNextDialResult) {
  test::TestProgram program;
  LineTrace trace(*program, 1, kStart);
  trace.events({"Processing Pending Callout to Node 000123", "Call Status = Answer", "Received CDD", received(14)});
  trace("Call Status = Busy", 2000);
  trace(kCallOutCompleted);

  processCalls(*program);

  // The first call is abandoned at the event before the dial result, which
  // opens the second call.
  const Rows rows = rowsOf(program);
  EXPECT_EQ(rows.calls, (Texts{"E00070005|2024-03-01 10:00:00|2024-03-01 10:00:00|0|123|Unknown|<null>|0|0|0|0|0|0|"
                               "03012024.100000.100.001.001",
                               "E00010003|2024-03-01 10:00:02|2024-03-01 10:00:02|0|Unknown|Unknown|<null>|0|0|0|0|0|0|"
                               "03012024.100002.400.001.001"}));
  EXPECT_EQ(rows.errors,
            (Texts{"E00070005|Session Header Response|Expected Data Not Received|||16|0|2024-03-01 10:00:00|"
                   "Received 12345612345612|03012024.100000.100.001.001",
                   "E00010003|Dialing|Busy|||0|0|2024-03-01 10:00:02|Received 12345612345612|"
                   "03012024.100002.400.001.001"}));
}

TEST(OutboundCall, RejectedRecipientsCarryTheNodesReason) {
  test::TestProgram program;
  LineTrace trace(*program, 1, kStart);
  // A message refused at once, then one to a recipient who is delivered and
  // two more, one refused because the text name did not match.
  trace.events(setUp() + Texts{played(36),
                               received(6),
                               "Octel response status: 1",
                               kCouldNotSend,
                               "Message NOT Delivered",
                               played(36),
                               received(6),
                               kSending,
                               "Playing #",
                               "Received 8",
                               "Playing 9",
                               received(6),
                               played(24),
                               received(6),
                               "Octel response status: 13",
                               "Could NOT send to Recepient mailbox 202@000777",
                               played(24),
                               received(6),
                               "Added Recepient mailbox 203",
                               "Message Delivered",
                               "Completed delivering Messages",
                               "Processing messages from node: 4444 to node 000777 Done"});

  processCalls(*program);

  EXPECT_EQ(program.rows("select exitcode, msgsendattempt, msgsendsuccess, numberrecipientssent from calls"),
            Texts{"OK|2|1|4"});
  EXPECT_EQ(program.rows("select tasktype, sender, numberofrecipients from tasks order by rowid"),
            (Texts{"Voice Message [Incomplete]|100|1", "Voice Message|100|3"}));
  EXPECT_EQ(program.rows("select recipient, octelserialnumber, rejected, recipientinfo from recipients order by rowid"),
            (Texts{"201|000777|1|Mailbox does not exist", "200|000777|0|", "202|000777|1|Text name does not match",
                   "203|000777|0|"}));
}

TEST(OutboundCall, NoMessagesToDeliverRightAfterTheOpening) {
  test::TestProgram program;
  LineTrace trace(*program, 1, kStart);
  trace("Processing messages from node: 4444 to node 000777");
  trace("No messages to deliver", 1000);
  trace("Processing messages from node: 4444 to node 000777 Done");

  processCalls(*program);

  EXPECT_EQ(rowsOf(program).calls, Texts{"OK (NO INIT)|2024-03-01 10:00:00|2024-03-01 10:00:01|1|000777|4444|<null>|"
                                         "0|0|0|0|0|0|03012024.100000.100.001.001"});
  EXPECT_TRUE(rowsOf(program).errors.empty());
}

// ---- one mixed trace folder, in one run and in three ----

// An inbound voice message from "Call Received." to "Incoming Call Completed.".
Texts inboundMessage() {
  return {"Call Received.",      "Received BD",
          received(18),          "Protocol Level = 3",
          received(16),          "Call received from Serial # 000777 to Serial # 4444",
          received(36),          "New Message from mailbox 500@000777 to mailbox 600@4444",
          "Recording completed", "Received #",
          "Received 9",          "Message Saved",
          received(36),          "Incoming Call Completed."};
}

Texts deliveredMessage() {
  return setUp() + Texts{played(36),
                         received(6),
                         kSending,
                         "Playing #",
                         "Received 8",
                         "Playing 9",
                         received(6),
                         played(24),
                         received(6),
                         "Octel response status: 2",
                         "Could NOT send to Recepient mailbox 202@000777",
                         "Message Delivered",
                         "Completed delivering Messages",
                         kCallOutCompleted};
}

Texts namesRetrieved() {
  return setUp() + Texts{played(36),
                         received(6),
                         "Retrieving Name for mailbox 300",
                         received(48),
                         "Name for mailbox 300 is \"Ann Lee\"",
                         played(8),
                         "Received #",
                         "Name Recording complete for mailbox 300",
                         "Completed Retrieving Names",
                         kCallOutCompleted};
}

// Calls on lines 1, 2 and 4, each call a few seconds after the one before,
// so that no call opens in the second its predecessor ended.
void writeMixedFolder(test::TestProgram& program) {
  LineTrace one(*program, 1, kStart);
  one.events(deliveredMessage());
  one.pause(3);
  one.events(inboundMessage());
  one.pause(3);
  one.events({kCallOut, "Call Status = Busy", kCallOutCompleted});
  one.pause(3);
  one.events(namesRetrieved());

  LineTrace two(*program, 2, kStart.addSeconds(1));
  two.events(inboundMessage());
  two.pause(3);
  // Broken off in the line sync; the next dial result opens the next call.
  two.events({kCallOut, "Call Status = Answer", "Received CDD", received(14), "Call Status = Ring"});
  two.pause(3);
  two.events({"Processing messages from node: 4444 to node 000777", "No messages to deliver"});

  LineTrace four(*program, 4, kStart.addSeconds(2));
  four.events(namesRetrieved());
  four.pause(3);
  four.events(deliveredMessage());
  four.pause(3);
  four.events(inboundMessage());
}

// What a processing run removes before it rebuilds: calls left open, with their rows.
void removeIncompleteCalls(test::TestProgram& program) {
  for (const char* table : {"errors", "tasks", "recipients"})
    program->db.exec(std::string("delete from ") + table +
                     " where callid in (select callid from calls where timestampend is null)");
  program->db.exec("delete from calls where timestampend is null");
}

Rows sortedRows(test::TestProgram& program) {
  Rows rows = rowsOf(program);
  for (Texts* table : {&rows.calls, &rows.errors, &rows.tasks, &rows.recipients})
    std::sort(table->begin(), table->end());
  return rows;
}

TEST(OutboundCall, AMixedFolderGivesTheSameRowsInOneRunAndInThree) {
  test::TestProgram once;
  writeMixedFolder(once);
  processCalls(*once);
  removeIncompleteCalls(once);

  test::TestProgram split;
  writeMixedFolder(split);
  // The later events arrive with the later runs.  Each cut falls inside
  // calls (the first on lines 1 and 2, the second on lines 1 and 4), which
  // the next run removes and rebuilds.
  const Texts cuts{"2024-03-01 10:00:01", "2024-03-01 10:00:13"};
  split->db.exec("create temp table Later as select * from Events");
  auto hold = split->db.prepare("delete from Events where Timestamp > ?");
  hold.bind(1, cuts[0]).run();
  for (std::size_t run = 0; run < 3; ++run) {
    if (run > 0) {
      auto arrive = split->db.prepare(
          "insert into Events select * from Later where Timestamp > ? and (? = '' or Timestamp <= ?)");
      const std::string until = run < cuts.size() ? cuts[run] : std::string();
      arrive.bind(1, cuts[run - 1]).bind(2, until).bind(3, until).run();
    }
    processCalls(*split);
    removeIncompleteCalls(split);
  }

  const Rows one = sortedRows(once);
  const Rows three = sortedRows(split);
  EXPECT_EQ(three.calls, one.calls);
  EXPECT_EQ(three.errors, one.errors);
  EXPECT_EQ(three.tasks, one.tasks);
  EXPECT_EQ(three.recipients, one.recipients);
  EXPECT_EQ(once.rows("select count(*) from Events"), split.rows("select count(*) from Events"));

  EXPECT_EQ(once.rows("select line, exitcode from calls where inbound = 0 order by line, timestampbegin"),
            (Texts{"1|OK", "1|E00010003", "1|OK", "2|E00070005", "2|E00010004", "2|OK (NO INIT)", "4|OK", "4|OK"}));
  EXPECT_EQ(once.rows("select count(*) from recipients where rejected = 1 and recipientinfo = "
                      "'Non-deliverable mailbox'"),
            Texts{"2"});
  EXPECT_EQ(once->handledErrorCount, 0);
  EXPECT_EQ(split->handledErrorCount, 0);
}

}  // namespace
}  // namespace travik
