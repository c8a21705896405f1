#include "processing/reports/reports.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "processing/reports/csv.h"
#include "processing/runtime/activity_log.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;

class Reports : public ::testing::Test {
 protected:
  Reports() { test.host.clock = DateTime(2005, 4, 18, 15, 4, 5); }

  fs::path output(const std::string& name) const { return test.outputFolder() / name; }

  void addTask(const char* begin, const char* end, const char* callid, const char* taskid, const char* sender,
               const char* textReceived, const char* textSent, bool fax) {
    auto insert = test->db.prepare(
        "insert into tasks (timestampbegin, timestampend, callid, taskid, tasktype, durationInSeconds, fax, sender, "
        "numberofrecipients, namerequestfor, textnamereceived, recordingreceived, textnamesent, recordingsent) "
        "values (?1, ?2, ?3, ?4, 'Voice Message', 42, ?5, ?6, 2, '', ?7, 1, ?8, 0)");
    insert.bind(1, begin).bind(2, end).bind(3, callid).bind(4, taskid).bind(5, fax).bind(6, sender);
    textReceived ? insert.bind(7, textReceived) : insert.bindNull(7);
    textSent ? insert.bind(8, textSent) : insert.bindNull(8);
    insert.run();
  }

  void addRecipient(const char* callid, const char* recipient, bool rejected, const char* info) {
    auto insert = test->db.prepare(
        "insert into recipients (callid, taskid, recipient, octelserialnumber, corvaneserialnumber, rejected, "
        "recipientinfo) values (?1, ?1, ?2, '7001', 'CV-1', ?3, ?4)");
    insert.bind(1, callid).bind(2, recipient).bind(3, rejected);
    info ? insert.bind(4, info) : insert.bindNull(4);
    insert.run();
  }

  test::TestProgram test;
};

TEST(Csv, QuotesOnlyValuesThatWouldShiftFieldsAndDoublesInnerQuotes) {
  std::string line;
  appendCsvField(line, "plain");
  line += ',';
  appendCsvField(line, "a,b");
  line += ',';
  appendCsvField(line, "say \"hi\"");
  line += ',';
  appendCsvField(line, "two\r\nlines");
  line += ',';
  appendCsvField(line, "", true);
  line += ',';
  appendCsvField(line, "x", true);
  EXPECT_EQ(line, "plain,\"a,b\",\"say \"\"hi\"\"\",\"two\r\nlines\",\"\",\"x\"");
}

TEST(Csv, ATextThatASpreadsheetWouldRunAsAFormulaGetsAnApostrophe) {
  for (const char* formula : {"=2+5", "@SUM(1+1)", "+cmd", "-1+1", "-", "\tx", "\rx", "=\"a,b\""})
    EXPECT_TRUE(csvLooksLikeFormula(formula)) << formula;
  for (const char* plain : {"", "2", "-5", "+3.25", "-.5", "12.", "a=b", " =1", "E0012.0003"})
    EXPECT_FALSE(csvLooksLikeFormula(plain)) << plain;

  std::string line;
  appendCsvField(line, "=2+5");
  line += ',';
  appendCsvField(line, "=SUM(A1,B1)");
  line += ',';
  appendCsvField(line, "@x", true);
  line += ',';
  appendCsvField(line, "-7");
  line += ',';
  appendCsvField(line, "-1+1", false, false);  // a number column is written as it is
  EXPECT_EQ(line, "'=2+5,\"'=SUM(A1,B1)\",\"'@x\",-7,-1+1");
}

TEST_F(Reports, TasksReportHasTheListedColumnsAndTheTextOfEachKindOfValue) {
  addTask("2005-04-18 00:00:00", "2005-04-18 13:05:09", "04182005.000000.120.001.007", "04182005.000000.120.001.007",
          "Smith, J", "Jones, \"Bob\"", nullptr, true);
  ASSERT_TRUE(reportTasks(*test, kTasksSelection));

  EXPECT_EQ(test::readFile(output("TRAVIK-REPORT.Tasks.04182005.150405.csv")),
            "timestampbegin,timestampend,callid,taskid,tasktype,durationInSeconds,fax,sender,numberofrecipients,"
            "namerequestfor,textnamereceived,recordingreceived,textnamesent,recordingsent\r\n"
            "4/18/2005,4/18/2005 1:05:09 PM,04182005.000000.120.001.007,04182005.000000.120.001.007,Voice Message,"
            "42,True,\"Smith, J\",2,,\"Jones, \"\"Bob\"\"\",True,\"\",False\r\n");
  EXPECT_EQ(test->handledErrorCount, 0);
}

TEST_F(Reports, RecipientsAndRejectedRecipientsKeepTheirOwnColumns) {
  addRecipient("C1", "1001", false, "");
  addRecipient("C2", "1002", true, "Mailbox full");
  ASSERT_TRUE(reportRecipients(*test, kRecipientsSelection));
  ASSERT_TRUE(reportRejectedRecipients(*test, kRejectedRecipientsSelection));

  EXPECT_EQ(test::readFile(output("TRAVIK-REPORT.Recipients.04182005.150405.csv")),
            "callid,taskid,recipient,octelserialnumber,corvaneserialnumber,rejected,recipientinfo\r\n"
            "C1,C1,1001,7001,CV-1,False,\"\"\r\n"
            "C2,C2,1002,7001,CV-1,True,\"Mailbox full\"\r\n");
  EXPECT_EQ(test::readFile(output("TRAVIK-REPORT.RejectedRecipients.04182005.150405.csv")),
            "callid,taskid,recipient,octelserialnumber,recipientinfo\r\n"
            "C2,C2,1002,7001,\"Mailbox full\"\r\n");
}

TEST_F(Reports, EventsReportShowsMillisecondsBareAndTheTextQuoted) {
  test->db.exec(
      "insert into Events values ('2005-04-01 09:15:02', 5, 1, 7, 'Call Received.'),"
      "('2005-04-01 21:15:02', 120, 2, 12, NULL)");
  ASSERT_TRUE(reportEvents(*test, kEventsSelection));
  EXPECT_EQ(test::readFile(output("TRAVIK-REPORT.Events.04182005.150405.csv")),
            "Timestamp,Milliseconds,Sequence,Line,Data\r\n"
            "4/1/2005 9:15:02 AM,5,1,7,\"Call Received.\"\r\n"
            "4/1/2005 9:15:02 PM,120,2,12,\"\"\r\n");
}

TEST_F(Reports, AnEmptySelectionGivesTheHeaderAlone) {
  const mode_t saved = ::umask(027);  // the account's, which the report takes and leaves as it is
  EXPECT_TRUE(reportEvents(*test, kEventsSelection));
  EXPECT_EQ(::umask(saved), 027u);
  EXPECT_EQ(test::readFile(output("TRAVIK-REPORT.Events.04182005.150405.csv")),
            "Timestamp,Milliseconds,Sequence,Line,Data\r\n");
  EXPECT_EQ(fs::status(output("TRAVIK-REPORT.Events.04182005.150405.csv")).permissions(), fs::perms(0640));
}

TEST_F(Reports, ASelectionWithoutAListedColumnIsReportedOnceAndWritesNoFile) {
  test.openLog();
  EXPECT_FALSE(reportRecipients(*test, "select callid, taskid from recipients"));
  EXPECT_EQ(test->handledErrorCount, 1);
  EXPECT_FALSE(fs::exists(output("TRAVIK-REPORT.Recipients.04182005.150405.csv")));
  flushActivityLog(*test);
  EXPECT_NE(test::readFile(test->activityLog.fileName)
                .find("(error):3265 (Item cannot be found in the collection corresponding to the requested name or "
                      "ordinal: recipient) in procedure reportRecipients()"),
            std::string::npos);
}

TEST_F(Reports, AMissingOutputFolderIsOneHandledErrorNotOnePerRow) {
  for (int i = 0; i < 60; ++i) addRecipient("C", "1", false, "");
  test->settings.outputPath = (test.folder() / "gone").string();
  EXPECT_FALSE(reportRecipients(*test, kRecipientsSelection));
  EXPECT_EQ(test->handledErrorCount, 1);
}

TEST(ReportsInConsole, AFailingReportShowsItsErrorLineInAMessageBox) {
  test::TestProgram test(false);
  EXPECT_FALSE(reportTasks(*test, "select * from no_such_table"));
  ASSERT_EQ(test.host.boxes.size(), 1u);
  EXPECT_EQ(test.host.boxes[0].text.rfind("(error):-2147467259 (", 0), 0u);
  EXPECT_NE(test.host.boxes[0].text.find(") in procedure reportTasks()"), std::string::npos);
  EXPECT_EQ(test->handledErrorCount, 1);
}

TEST_F(Reports, ARowWhoseDateCannotBeReadLosesItsLineOnly) {
  addTask("2005-04-18 10:00:00", "garbage", "C1", "T1", "", "", "", false);
  addTask("2005-04-18 11:00:00", "2005-04-18 11:00:30", "C2", "T2", "", "", "", false);
  EXPECT_FALSE(reportTasks(*test, kTasksSelection));
  EXPECT_EQ(test->handledErrorCount, 1);
  const std::string text = test::readFile(output("TRAVIK-REPORT.Tasks.04182005.150405.csv"));
  EXPECT_EQ(text.find(",C1,"), std::string::npos);
  EXPECT_NE(text.find("4/18/2005 11:00:00 AM,4/18/2005 11:00:30 AM,C2,T2,"), std::string::npos);
}

}  // namespace
}  // namespace travik
