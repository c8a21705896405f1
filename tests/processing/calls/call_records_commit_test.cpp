// Call records inside the line's transaction, where a row's first save waits
// for its insert: a commit holds every row as its saves made it (changes
// after a save wait for the next one), and rows keep their insertion order.
#include <gtest/gtest.h>

#include "processing/calls/call_module.h"
#include "processing/calls/call_records.h"
#include "processing/calls/process_calls.h"
#include "processing/calls/walk_host.h"
#include "tests/processing/call_trace.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

using test::LineTrace;

class CallRecordsCommitTest : public ::testing::Test {
 protected:
  CallRecordsCommitTest() : trace(*program, 1, DateTime(2024, 3, 1, 10, 0, 0)) { test::prepareModule(module); }

  // Opens a call on the current event, saved once, as the line walk does.
  void openCall() {
    CallRow& call = module.records.newCall();
    tagCall(module);
    call.line = 1;
    call.inbound = true;
    module.records.saveCall();
    clearCallStats(module);
  }

  test::TestProgram program;
  CallModule module{*program};
  LineTrace trace;
};

TEST_F(CallRecordsCommitTest, ACommitHoldsWhatTheSavesMadeAndNoLaterChange) {
  trace("Call Received.")("New Message from mailbox 1 to 2")("Incoming Call Completed.");
  beginLineTransaction(module);
  test::openLine(module, 1);
  openCall();
  nextEvent(module);
  startTask(module);
  module.records.task("p()").tasktype = "Voice Message";
  addRecipient(module, "201");  // the task's first save
  module.records.task("p()").sender = "1";

  // A pause of the walk (an error report's yield) commits in the middle of the call.
  WalkHost walkHost(module);
  program->host.yield();
  EXPECT_EQ(program.rows("select callid, timestampend, octelserialnumber from calls"),
            std::vector<std::string>{"03012024.100000.100.001.001|<null>|<null>"});
  EXPECT_EQ(program.rows("select tasktype, sender, numberofrecipients from tasks"),
            std::vector<std::string>{"Voice Message|<null>|0"});
  EXPECT_EQ(program.rows("select count(*) from recipients"), std::vector<std::string>{"0"});

  nextEvent(module);
  endTask(module, true);
  callEnd(module);
  module.records.savePending();
  commitLineTransaction(module);
  EXPECT_EQ(program.rows("select timestampend, exitcode, octelserialnumber from calls"),
            std::vector<std::string>{"2024-03-01 10:00:00|OK|Unknown"});
  EXPECT_EQ(program.rows("select tasktype, sender, numberofrecipients, timestampend from tasks"),
            std::vector<std::string>{"Voice Message|1|1|2024-03-01 10:00:00"});
  EXPECT_EQ(program.rows("select recipient from recipients"), std::vector<std::string>{"201"});
}

TEST_F(CallRecordsCommitTest, RowsKeepTheirOrderWhenTheirInsertsWait) {
  trace("Call Received.")("Incoming Call Completed.")("Call Received.")("Incoming Call Completed.");
  beginLineTransaction(module);
  test::openLine(module, 1);
  openCall();
  nextEvent(module);
  callEnd(module);
  nextEvent(module);
  module.records.saveCall();
  openCall();  // saved once: waits
  nextEvent(module);
  callEnd(module);
  commitLineTransaction(module);
  EXPECT_EQ(program.rows("select rowid, callid from calls order by rowid"),
            (std::vector<std::string>{"1|03012024.100000.100.001.001", "2|03012024.100000.300.001.001"}));
}

}  // namespace
}  // namespace travik
