#include "processing/reports/automatic_reports.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <set>

#include "processing/reports/reports.h"
#include "processing/runtime/activity_log.h"
#include "processing/totals/process_summary.h"
#include "processing/totals/summary_due.h"
#include "tests/support/full_disk.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;

std::set<std::string> filesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.is_regular_file()) names.insert(entry.path().filename().string());
  return names;
}

// Calls enough for an AllCalls report larger than a full disk's last block.
void insertCalls(Program& program, int count) {
  auto insert = program.db.prepare(
      "insert into calls (callid, timestampbegin, line, inbound) values (?1, '2005-04-18 10:00:00', 1, 1)");
  for (int i = 0; i < count; ++i) insert.bind(1, "04182005.100000.000.001." + std::to_string(1000 + i)).run();
}

class AutomaticReports : public ::testing::Test {
 protected:
  AutomaticReports() { test.host.clock = DateTime(2005, 4, 18, 15, 4, 5); }
  test::TestProgram test;
};

TEST_F(AutomaticReports, OnlyTheFourAutomaticKindsOfEarlierReportAreReplaced) {
  const fs::path out = test.outputFolder();
  for (const char* name :
       {"TRAVIK-REPORT.AllCalls.01012005.010101.csv", "TRAVIK-REPORT.LineSummary.01012005.010101.csv",
        "TRAVIK-REPORT.OctelSummary.01012005.010101.csv", "TRAVIK-REPORT.RejectedRecipients.01012005.010101.csv",
        "TRAVIK-REPORT.RejectedRecipients.02012005.010101.csv", "TRAVIK-REPORT.Tasks.01012005.010101.csv",
        "TRAVIK-REPORT.Recipients.01012005.010101.csv", "TRAVIK-REPORT.Events.01012005.010101.csv",
        "MVLOG.TRAVIK.01012005.010101.log", "notes.txt", "TRAVIK-REPORT.AllCallsOld.01012005.010101.csv",
        "travik-report.linesummary.x.y"})
    test::writeFile(out / name, "x");
  fs::create_directories(test.folder() / "elsewhere");
  test::writeFile(test.folder() / "elsewhere" / "TRAVIK-REPORT.AllCalls.01012005.010101.csv", "x");

  ASSERT_TRUE(replaceAutomaticReports(*test));
  EXPECT_EQ(filesIn(out),
            (std::set<std::string>{
                "TRAVIK-REPORT.AllCalls.04182005.150405.csv", "TRAVIK-REPORT.LineSummary.04182005.150405.csv",
                "TRAVIK-REPORT.OctelSummary.04182005.150405.csv",
                "TRAVIK-REPORT.RejectedRecipients.04182005.150405.csv", "TRAVIK-REPORT.Tasks.01012005.010101.csv",
                "TRAVIK-REPORT.Recipients.01012005.010101.csv", "TRAVIK-REPORT.Events.01012005.010101.csv",
                "MVLOG.TRAVIK.01012005.010101.log", "notes.txt", "TRAVIK-REPORT.AllCallsOld.01012005.010101.csv"}));
  EXPECT_TRUE(fs::exists(test.folder() / "elsewhere" / "TRAVIK-REPORT.AllCalls.01012005.010101.csv"));
}

TEST_F(AutomaticReports, TemporaryFilesOfAKilledRunGoWithTheOldSet) {
  const fs::path out = test.outputFolder();
  for (const char* name :
       {".TRAVIK-REPORT.AllCalls.01012005.010101.csv.a1B2c3", ".TRAVIK-REPORT.Tasks.01012005.010101.csv.a1B2c3",
        ".MVLOG.TRAVIK.01012005.010101.log.a1B2c3"})
    test::writeFile(out / name, "cut");
  ASSERT_TRUE(replaceAutomaticReports(*test, {.lines = false, .nodes = false}));
  // The console's own reports and exports are not the automatic set's to clear.
  EXPECT_EQ(filesIn(out),
            (std::set<std::string>{
                "TRAVIK-REPORT.AllCalls.04182005.150405.csv", "TRAVIK-REPORT.RejectedRecipients.04182005.150405.csv",
                ".TRAVIK-REPORT.Tasks.01012005.010101.csv.a1B2c3", ".MVLOG.TRAVIK.01012005.010101.log.a1B2c3"}));
}

TEST_F(AutomaticReports, AMissingOutputFolderLeavesTheReportsOwed) {
  test->settings.outputPath = (test.folder() / "gone").string();
  EXPECT_FALSE(replaceAutomaticReports(*test));
  EXPECT_FALSE(fs::exists(test.folder() / "gone"));
}

TEST_F(AutomaticReports, ARunLeavesExactlyTheNewSetBesideTheOtherReports) {
  test.openLog();
  test::writeFile(test.outputFolder() / "TRAVIK-REPORT.AllCalls.01012005.010101.csv", "old");
  test::writeFile(test.outputFolder() / "TRAVIK-REPORT.Tasks.01012005.010101.csv", "dump");
  ASSERT_TRUE(replaceAutomaticReports(*test));
  EXPECT_EQ(filesIn(test.outputFolder()),
            (std::set<std::string>{
                "TRAVIK-REPORT.AllCalls.04182005.150405.csv", "TRAVIK-REPORT.LineSummary.04182005.150405.csv",
                "TRAVIK-REPORT.OctelSummary.04182005.150405.csv",
                "TRAVIK-REPORT.RejectedRecipients.04182005.150405.csv", "TRAVIK-REPORT.Tasks.01012005.010101.csv"}));
  EXPECT_EQ(test->handledErrorCount, 0);
}

TEST_F(AutomaticReports, TheAutomaticRejectedRecipientsLeaveOutExtendedAbsenceAndEmptyOutcomes) {
  test->db.exec(
      "insert into recipients (callid, taskid, recipient, octelserialnumber, corvaneserialnumber, rejected, "
      "recipientinfo) values "
      "('C3', 'T', '103', '7001', 'CV', 1, 'Message transmission unsuccessful'),"
      "('C1', 'T', '101', '7001', 'CV', 1, 'Extended Absence greeting is enabled'),"
      "('C2', 'T', '102', '7001', 'CV', 0, ''),"
      "('C4', 'T', '104', '7001', 'CV', 0, NULL)");
  ASSERT_TRUE(replaceAutomaticReports(*test));
  EXPECT_EQ(test::readFile(test.outputFolder() / "TRAVIK-REPORT.RejectedRecipients.04182005.150405.csv"),
            "callid,taskid,recipient,octelserialnumber,recipientinfo\r\n"
            "C3,T,103,7001,\"Message transmission unsuccessful\"\r\n");

  // The dump command's selection keeps the extended-absence recipients.
  ASSERT_TRUE(reportRejectedRecipients(*test, kRejectedRecipientsSelection));
  EXPECT_NE(test::readFile(test.outputFolder() / "TRAVIK-REPORT.RejectedRecipients.04182005.150405.csv")
                .find("C1,T,101,7001,\"Extended Absence greeting is enabled\""),
            std::string::npos);
}

TEST_F(AutomaticReports, AFailingReportDoesNotKeepTheOthersFromBeingWritten) {
  test->db.exec("drop table linesummary");
  EXPECT_FALSE(replaceAutomaticReports(*test));
  EXPECT_EQ(test->handledErrorCount, 1);
  EXPECT_EQ(filesIn(test.outputFolder()),
            (std::set<std::string>{"TRAVIK-REPORT.AllCalls.04182005.150405.csv",
                                   "TRAVIK-REPORT.OctelSummary.04182005.150405.csv",
                                   "TRAVIK-REPORT.RejectedRecipients.04182005.150405.csv"}));
}

TEST(AutomaticReportsOnAFullDisk, NoReportIsLeftCutOrEmptyUnderItsNameAndEachFailureIsReported) {
  test::TempFolder temp;
  const fs::path disk = temp.path() / "disk";
  fs::create_directories(disk);
  const test::FullDiskRun run = test::onFullDisk(disk, [&] {
    test::TestProgram t;
    t.openLog();  // in the program's own folder, which has room
    t->settings.outputPath = disk.string();
    insertCalls(*t, 500);
    replaceAutomaticReports(*t);
    closeActivityLog(*t);
    std::string result = std::to_string(t->handledErrorCount) + ";";
    for (const auto& name : filesIn(disk)) result += name + ";";
    const std::string log = test::readFile(t->activityLog.fileName);
    for (std::size_t at = log.find("(error):61 (Disk full"); at != std::string::npos;
         at = log.find("(error):61 (Disk full", at + 1))
      result += "disk full;";
    return result;
  });
  if (run.cannot) GTEST_SKIP() << "no full disk can be made here: " << *run.cannot;
  ASSERT_TRUE(WIFEXITED(run.exitStatus) && WEXITSTATUS(run.exitStatus) == 0) << run.exitStatus;
  // One handled error per report; the disk holds what it held before.
  EXPECT_EQ(run.output, "4;filler;disk full;disk full;disk full;disk full;");
}

// The output folder full at the end of a run: the earlier reports stay, the
// failure is event 4 as well as a log line, and the reports stay owed until a
// run finds room again.
TEST(AutomaticReportsOnAFullDisk, TheEarlierReportsStayAndTheNewOnesStayOwedUntilThereIsRoom) {
  test::TempFolder temp;
  const fs::path disk = temp.path() / "disk";
  fs::create_directories(disk);
  const test::FullDiskRun run = test::onFullDisk(disk, [&] {
    test::TestProgram t;  // the service
    t.openLog();
    t->settings.outputPath = disk.string();
    insertCalls(*t, 500);
    // Room for the earlier report alone, then full again.
    const fs::path filler = disk / "filler";
    fs::resize_file(filler, fs::file_size(filler) - 8192);
    const std::string earlier = "TRAVIK-REPORT.AllCalls.01012005.010101.csv";
    test::writeFile(disk / earlier, "earlier\r\n");
    test::writeFile(disk / "more", std::string(1 << 20, 'f'));
    markReportsDue(t->db);
    processDueSummaryData(*t);
    std::string result = std::string(summaryDue(t->db) == SummaryDue::Reports ? "owed" : "not owed") + ";";
    result += test::readFile(disk / earlier) == "earlier\r\n" ? "earlier kept;" : "earlier lost;";
    int entries = 0;
    for (const auto& entry : t.events.entries)
      if (entry.eventId == 4 && entry.text.find("Disk full: " + disk.string()) != std::string::npos) ++entries;
    result += std::to_string(entries) + " events;";
    // Room again: the next run writes them and the earlier one goes.
    fs::remove(filler);
    fs::remove(disk / "more");
    t.host.clock = t.host.clock.addSeconds(60);
    processDueSummaryData(*t);
    result += summaryDue(t->db) == SummaryDue::Nothing ? "paid;" : "still owed;";
    for (const auto& name : filesIn(disk)) result += name.substr(0, name.find('.', 15)) + ";";
    return result;
  });
  if (run.cannot) GTEST_SKIP() << "no full disk can be made here: " << *run.cannot;
  ASSERT_TRUE(WIFEXITED(run.exitStatus) && WEXITSTATUS(run.exitStatus) == 0) << run.exitStatus;
  EXPECT_EQ(run.output,
            "owed;earlier kept;4 events;paid;TRAVIK-REPORT.AllCalls;TRAVIK-REPORT.LineSummary;"
            "TRAVIK-REPORT.OctelSummary;TRAVIK-REPORT.RejectedRecipients;");
}

}  // namespace
}  // namespace travik
