// Manual processing, the dump of every report file and the purge, driven
// through the main window.
#include <QGroupBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include "admin/grid_windows/frm_octel_summary.h"
#include "admin/models/bound_grid.h"
#include "admin/models/query_model.h"
#include "admin/windows/frm_auto_shutdown.h"
#include "platform/instance_lock.h"
#include "processing/calls/line_walk.h"
#include "processing/runtime/application_parameters.h"
#include "processing/totals/summary_due.h"
#include "tests/admin/call_rows.h"
#include "tests/admin/console_fixture.h"
#include "tests/support/lock_holder.h"

namespace travik {
namespace {

namespace fs = std::filesystem;
using test::CallRow;

class ProcessingTest : public test::ConsoleFixture {
 protected:
  ProcessingTest() {
    connect();
    program().gatewayNotInstalled = true;  // no gateway data source to check or warn through
    test.openLog();
    // A trace file of three events on line 2, stamped an hour before the clock.
    const DateTime first = clock.addHours(-1);
    std::string bytes;
    for (int i = 0; i < 3; ++i)
      bytes += first.addSeconds(i).toTraceStamp() + ".000 00000000 Line 2: Trace event " + std::to_string(i) + "\r\n";
    test::writeFile(test.traceFolder() / "MVLOG.001", bytes);
  }

  std::int64_t count(const std::string& table) { return std::stoll(test.rows("select count(*) from " + table).at(0)); }
  std::vector<std::string> outputFiles() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(test.outputFolder()))
      if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // Every kind of row the purge removes, and the rows it keeps.
  void fillDatabase() {
    const std::string id = test::insertCall(program(), CallRow{clock.addHours(-2), clock.addHours(-2).addMinutes(1)});
    test::insertError(program(), id, clock.addHours(-2));
    test::insertTask(program(), id, "T.1", clock.addHours(-2));
    test::insertRecipient(program(), id, "T.1", "5001");
    test::insertEvent(program(), clock.addHours(-2), 7, 1, 3, "Stored event");
    program().db.exec("insert into linesummary (line) values (1)");
    program().db.exec("insert into octelsummary (octelserialnumber) values ('Unknown')");
    program().db.exec(
        "insert into linewalk (line, walkedtimestamp, walkedmilliseconds, walkedsequence, walkedevent) "
        "values (3, '2024-01-01 00:00:00', 7, 1, 1)");
    program().db.exec("insert into excludefromeventviewer (serialno) values ('100')");
    program().db.exec("insert into excludeFromTestCalls (serialno) values ('200')");
  }
  std::int64_t callActivityRows() {
    std::int64_t rows = 0;
    for (const char* table : {"Events", "calls", "errors", "tasks", "recipients", "linesummary", "octelsummary"})
      rows += count(table);
    return rows;
  }
  // A countdown of the idle shutdown on screen.
  void startCountdown() {
    FrmAutoShutdown& idle = console->frmAutoShutdown();
    program().idleDeadline = clock.addMinutes(-1);
    idle.tmrCheckForIdleTimeout_Timer();
    ASSERT_TRUE(idle.tmrSecondsUntilShutdown->isActive());
  }
};

TEST_F(ProcessingTest, AManualRunStoresTheNewTracesAndRestoresTheConsoleAfterwards) {
  test::insertCall(program(), CallRow{clock.addHours(-3), clock.addHours(-3).addMinutes(1)});
  frmMain().show();
  console->frmOctelSummary().showTotals();
  frmMain().frmSelection->setVisible(false);  // as a purge leaves it
  startCountdown();
  clock = clock.addMinutes(5);

  frmMain().cmdLoad->click();
  EXPECT_EQ(count("Events"), 3);
  EXPECT_TRUE(console->frmOctelSummary().isHidden());
  FrmAutoShutdown& idle = console->frmAutoShutdown();
  EXPECT_TRUE(idle.isHidden());
  EXPECT_FALSE(idle.tmrSecondsUntilShutdown->isActive());
  EXPECT_TRUE(idle.tmrCheckForIdleTimeout->isActive());
  EXPECT_EQ(program().idleDeadline, clock.addMinutes(30));
  FrmMain& w = frmMain();
  EXPECT_TRUE(w.frmSelection->isVisible());
  EXPECT_TRUE(w.flxCalls->isVisible());
  EXPECT_TRUE(w.cmdLoad->isEnabled());
  EXPECT_TRUE(w.cmdExit->isEnabled());
  EXPECT_FALSE(w.cmdViewTasks->isEnabled());
  EXPECT_EQ(boundModel(*w.flxCalls).rowCount(), 1);
  EXPECT_EQ(program().handledErrorCount, 0);
}

TEST_F(ProcessingTest, ARunTheServiceRefusesStillRestoresTheConsole) {
  setApplicationParameter(program(), parameter::kServiceProcessing, "True");
  // A run of the service holds the processing lock while it works.
  test::LockHolder serviceRun(platform::processingLockFile(program().databasePath()));
  frmMain().show();
  startCountdown();
  frmMain().cmdLoad_Click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "The TRAVIK service is currently processing data.  Please try again in a few moments.");
  EXPECT_EQ(count("Events"), 0);
  EXPECT_TRUE(frmMain().cmdLoad->isEnabled());
  EXPECT_TRUE(frmMain().flxCalls->isVisible());
  EXPECT_TRUE(console->frmAutoShutdown().tmrCheckForIdleTimeout->isActive());
  EXPECT_TRUE(console->frmAutoShutdown().isHidden());
}

TEST_F(ProcessingTest, AnUnusableFolderStopsTheRunBeforeAnythingChanges) {
  frmMain().show();
  console->frmOctelSummary().showTotals();
  fs::remove_all(test.traceFolder());
  frmMain().cmdLoad_Click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Enter Valid Log Path");
  EXPECT_TRUE(console->frmOctelSummary().isVisible());
  EXPECT_EQ(count("Events"), 0);

  fs::create_directories(test.traceFolder());
  test::writeFile(test.traceFolder() / "MVLOG.001", "");
  fs::remove_all(test.outputFolder());
  boxes.clear();
  frmMain().cmdLoad_Click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Configure Valid Output Folder");
  EXPECT_TRUE(console->frmOctelSummary().isVisible());
}

TEST_F(ProcessingTest, TheDumpWritesEveryReportEvenOfAnEmptyDatabase) {
  frmMain().cmdDumpCsv->click();
  const std::string stamp = clock.toMMDDYYYY() + "." + clock.toHHMMSS();
  std::vector<std::string> expected = {"MVLOG.TRAVIK." + stamp + ".log"};
  for (const char* kind :
       {"AllCalls", "Tasks", "Recipients", "Events", "LineSummary", "OctelSummary", "RejectedRecipients"})
    expected.push_back(std::string("TRAVIK-REPORT.") + kind + "." + stamp + ".csv");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(outputFiles(), expected);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "CSV file creation complete.");
  EXPECT_EQ(boxes[0].icon, MessageIcon::Information);
  EXPECT_EQ(host.mousePointer(), kPointerDefault);
  const std::string log = activityLog();
  EXPECT_NE(log.find("CSV data file generation requested."), std::string::npos);
  EXPECT_NE(log.find("CSV data file generation complete."), std::string::npos);
}

TEST_F(ProcessingTest, ADumpIntoAFolderNobodyCanWriteSaysWhichFilesWereNotWritten) {
  program().settings.outputPath = "/sys";  // not even root creates files there
  frmMain().cmdDumpCsv->click();
  ASSERT_EQ(boxes.size(), 9u);
  EXPECT_NE(boxes.back().text.find("written to the /sys folder.\n\nTRAVIK-REPORT.AllCalls\nTRAVIK-REPORT.Tasks\n"),
            std::string::npos);
  EXPECT_NE(activityLog().find("(error): CSV data file generation failed: TRAVIK-REPORT.AllCalls, "),
            std::string::npos);
}

TEST_F(ProcessingTest, AManualRunThatStoredNothingNeverSaysProcessingComplete) {
  db::Connection service = holdDatabase();
  frmMain().cmdLoad->click();
  EXPECT_NE(program().statusMessage.find(" errors: database locked, nothing stored."), std::string::npos);
  EXPECT_EQ(activityLog().find("Processing complete."), std::string::npos);
}

// A database of an older version that this console may not write: the
// grids show it, and nothing that would change it runs.
TEST_F(ProcessingTest, OnADatabaseOnlyReadProcessingPurgeAndTheSettingsWindowsAreRefused) {
  fillDatabase();
  program().databaseReadOnly = true;
  frmMain().show();
  frmMain().cmdLoad_Click();
  frmMain().mnuOptionsPurgeEventData_Click();
  frmMain().mnuOptionsEventViewer_Click();
  frmMain().mnuOptionsTestCalls_Click();
  frmMain().mnuOptionsResetErrorCounts_Click();
  ASSERT_EQ(boxes.size(), 5u);
  for (const auto& box : boxes) {
    EXPECT_EQ(box.title, "Database not current");
    EXPECT_NE(box.text.find("processing, settings and the purge are not available"), std::string::npos) << box.text;
  }
  EXPECT_EQ(callActivityRows(), 7);
  EXPECT_EQ(count("Events"), 1);
  EXPECT_EQ(program().handledErrorCount, 0);
}

TEST_F(ProcessingTest, CancelAtTheFirstQuestionPurgesNothing) {
  fillDatabase();
  answers = {MessageResult::Cancel};
  frmMain().mnuOptionsPurgeEventData->trigger();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].buttons, MessageButtons::OkCancel);
  EXPECT_EQ(boxes[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(boxes[0].text,
            "This will delete all call activity data in the database.  Data for the next processing cycle will be "
            "limited to existing mervale log data.\n\nAre you sure you want to purge this data?");
  EXPECT_EQ(callActivityRows(), 7);
}

TEST_F(ProcessingTest, APurgeWithoutExportDeletesAllCallActivityAndKeepsTheSettings) {
  fillDatabase();
  frmMain().show();
  console->frmOctelSummary().showTotals();
  answers = {MessageResult::Ok, MessageResult::No};
  frmMain().mnuOptionsPurgeEventData_Click();
  EXPECT_EQ(callActivityRows(), 0);
  // Where the walk stood goes with the events: events stored again are walked again.
  EXPECT_EQ(count("linewalk"), 0);
  EXPECT_EQ(count("applicationparameters"), 12);
  EXPECT_EQ(count("excludefromeventviewer"), 1);
  EXPECT_EQ(count("excludeFromTestCalls"), 1);
  EXPECT_TRUE(outputFiles().empty());
  EXPECT_TRUE(frmMain().frmSelection->isHidden());
  EXPECT_TRUE(console->frmOctelSummary().isHidden());
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[1].buttons, MessageButtons::YesNo);
  EXPECT_EQ(boxes[1].icon, MessageIcon::Question);
  EXPECT_EQ(boxes[2].text, "Call activity successfully deleted");
  EXPECT_EQ(boxes[2].icon, MessageIcon::Information);
  EXPECT_EQ(host.mousePointer(), kPointerDefault);
}

TEST_F(ProcessingTest, APurgeLeavesNothingOwedToTheSummary) {
  fillDatabase();
  // A run cut short left the totals of calls the purge deletes.
  markTotalsDue(program().db);
  answers = {MessageResult::Ok, MessageResult::No};
  frmMain().mnuOptionsPurgeEventData_Click();
  EXPECT_EQ(callActivityRows(), 0);
  EXPECT_EQ(count("summarydue"), 0);
}

TEST_F(ProcessingTest, AfterAPurgeTheNextRunReadsTheTraceFilesAgain) {
  frmMain().cmdLoad->click();
  ASSERT_EQ(count("Events"), 3);
  answers = {MessageResult::Ok, MessageResult::No};
  frmMain().mnuOptionsPurgeEventData_Click();
  EXPECT_EQ(count("Events"), 0);
  EXPECT_EQ(count("tracereadpositions"), 0);
  frmMain().cmdLoad->click();
  EXPECT_EQ(count("Events"), 3);
}

TEST_F(ProcessingTest, APurgeWithExportWritesTheTraceEventsFirst) {
  fillDatabase();
  answers = {MessageResult::Ok, MessageResult::Yes};
  frmMain().mnuOptionsPurgeEventData_Click();
  const fs::path exported =
      test.outputFolder() / ("MVLOG.TRAVIK." + clock.toMMDDYYYY() + "." + clock.toHHMMSS() + ".log");
  ASSERT_TRUE(fs::exists(exported));
  EXPECT_NE(test::readFile(exported).find("Line 3: Stored event"), std::string::npos);
  EXPECT_EQ(callActivityRows(), 0);
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[2].text,
            "Analog call trace info has been written to the most recent MVLOG.TRAVIK.<date>.<time>.log file in the " +
                program().settings.outputPath + " folder.  Be sure to save a copy of this file to another folder.");
  EXPECT_EQ(boxes[2].icon, MessageIcon::None);
  EXPECT_EQ(boxes[3].text, "Call activity successfully deleted");
}

TEST_F(ProcessingTest, AnExportThatFailsKeepsEveryRow) {
  fillDatabase();
  fs::remove_all(test.outputFolder());
  answers = {MessageResult::Ok, MessageResult::Yes};
  frmMain().mnuOptionsPurgeEventData_Click();
  EXPECT_EQ(callActivityRows(), 7);
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().text, "Analog call trace info could not be written to the " + program().settings.outputPath +
                                   " folder.  No call activity data has been deleted.");
  EXPECT_EQ(boxes.back().icon, MessageIcon::Exclamation);
  EXPECT_EQ(host.mousePointer(), kPointerDefault);
}

TEST_F(ProcessingTest, APurgeTheDatabaseRefusesDeletesNothingAndClaimsNothing) {
  fillDatabase();
  db::Connection other;
  other.open(program().databasePath().string());
  other.exec("begin immediate");
  answers = {MessageResult::Ok, MessageResult::No};
  frmMain().mnuOptionsPurgeEventData_Click();
  other.exec("rollback");
  EXPECT_EQ(callActivityRows(), 7);
  EXPECT_EQ(count("linewalk"), 1);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_NE(boxes[2].text.find("in procedure mnuOptionsPurgeEventData()"), std::string::npos);
  EXPECT_EQ(program().handledErrorCount, 1);
}

}  // namespace
}  // namespace travik
