#include "processing/runtime/activity_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "processing/runtime/file_times.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> logFiles(const test::TestProgram& t) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(t.outputFolder() / "logs")) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

TEST(ActivityLog, NewFileCarriesTheHeaderAndTimeStampedLines) {
  test::TestProgram t(false, "TRAVIKadmin");
  t.host.clock = DateTime(2005, 4, 12, 14, 3, 59);
  const std::string name = GenerateNewLogFileName(*t);
  EXPECT_EQ(name, (t.outputFolder() / "logs" / "TRAVIKadmin_050412_14_03_59.log").string());
  openActivityLog(*t, name);
  EXPECT_TRUE(t.host.flushTimerEnabled);
  writeLog(*t, "Processing complete.", true);
  flushActivityLog(*t);
  const std::string rule(64, '=');
  EXPECT_EQ(test::readFile(name),
            rule +
                "\r\nRunning TRAVIKadmin, version 1.1.1\r\n\r\nLocal time=4/12/2005 2:03:59 PM\r\n"
                "4/12/2005 2:03:59 PM: TRAVIK Administration activity\r\n" +
                rule + "\r\n\r\n4/12/2005 2:03:59 PM: Processing complete.\r\n");
  closeActivityLog(*t);
  EXPECT_FALSE(t.host.flushTimerEnabled);
}

TEST(ActivityLog, TheServiceTitleLineAndAFileBegunTwiceInOneSecondStartsFresh) {
  test::TestProgram t(true);
  t.openLog();
  writeLog(*t, "first file line", false);
  flushActivityLog(*t);
  const std::string name = t->activityLog.fileName;
  EXPECT_NE(test::readFile(name).find("TRAVIK Service activity"), std::string::npos);
  closeActivityLog(*t);
  t.openLog();  // same second, same name: the earlier file is replaced
  flushActivityLog(*t);
  EXPECT_EQ(t->activityLog.fileName, name);
  EXPECT_EQ(test::readFile(name).find("first file line"), std::string::npos);
}

TEST(ActivityLog, ALineOfANewDayGoesIntoANewFile) {
  test::TestProgram t(true);
  t.host.clock = DateTime(2026, 3, 1, 23, 59, 0);
  t.openLog();
  flushActivityLog(*t);
  setFileModificationTime(t->activityLog.fileName, DateTime(2026, 3, 1, 23, 59, 0));
  const std::string first = t->activityLog.fileName;
  t.host.clock = DateTime(2026, 3, 2, 0, 0, 30);
  writeLog(*t, "after midnight", true);
  flushActivityLog(*t);
  EXPECT_NE(t->activityLog.fileName, first);
  EXPECT_EQ(test::readFile(first).find("after midnight"), std::string::npos);
  const std::string second = test::readFile(t->activityLog.fileName);
  EXPECT_EQ(second.rfind(std::string(64, '='), 0), 0u);
  EXPECT_NE(second.find("3/2/2026 12:00:30 AM: after midnight"), std::string::npos);
}

// The file system's clock may lag the program's (an output folder on a share):
// a file begun today has a stamp of yesterday, and must not be begun again.
TEST(ActivityLog, AFileStampedBeforeTheDayItWasBegunIsKeptForTheDay) {
  test::TestProgram t(true);
  t.host.clock = DateTime(2026, 3, 2, 9, 0, 0);
  t.openLog();
  const std::string first = t->activityLog.fileName;
  setFileModificationTime(first, DateTime(2026, 3, 1, 9, 0, 0));
  writeLog(*t, "a stamp from the day before", true);
  setFileModificationTime(first, DateTime(2026, 3, 1, 9, 0, 0));
  t.host.clock = DateTime(2026, 3, 2, 9, 0, 5);
  writeLog(*t, "still today", true);
  flushActivityLog(*t);
  EXPECT_EQ(t->activityLog.fileName, first);
  EXPECT_EQ(logFiles(t).size(), 1u);
  const std::string text = test::readFile(first);
  EXPECT_NE(text.find("3/2/2026 9:00:00 AM: a stamp from the day before"), std::string::npos);
  EXPECT_NE(text.find("3/2/2026 9:00:05 AM: still today"), std::string::npos);
  // The next day still begins a new file.
  setFileModificationTime(first, DateTime(2026, 3, 2, 9, 0, 5));
  t.host.clock = DateTime(2026, 3, 3, 0, 0, 1);
  writeLog(*t, "the next day", true);
  EXPECT_NE(t->activityLog.fileName, first);
  EXPECT_EQ(logFiles(t).size(), 2u);
}

TEST(ActivityLog, PruningDeletesEveryFileOlderThanTenDayBoundaries) {
  test::TestProgram t(true);
  t.host.clock = DateTime(2026, 3, 20, 8, 0, 0);
  fs::create_directories(t.outputFolder() / "logs");
  const fs::path kept = t.outputFolder() / "logs" / "kept.log";
  const fs::path old = t.outputFolder() / "logs" / "notes.txt";
  test::writeFile(kept, "x");
  test::writeFile(old, "x");
  setFileModificationTime(kept, DateTime(2026, 3, 10, 0, 0, 1));   // exactly 10 boundaries
  setFileModificationTime(old, DateTime(2026, 3, 9, 23, 59, 59));  // 11 boundaries
  fs::permissions(old, fs::perms::owner_read, fs::perm_options::replace);
  pruneActivityLogs(*t);
  EXPECT_TRUE(fs::exists(kept));
  EXPECT_FALSE(fs::exists(old));
}

TEST(ActivityLog, AMissingOutputFolderWritesNothingAndReportsEachAttempt) {
  test::TestProgram t(false);
  t->settings.outputPath = (t.folder() / "gone").string();
  const std::string name = GenerateNewLogFileName(*t);
  EXPECT_EQ(name, "");
  openActivityLog(*t, name);
  writeLog(*t, "x", true);
  EXPECT_EQ(t.host.boxes.size(), 3u);
  EXPECT_FALSE(t.host.flushTimerEnabled);
  EXPECT_FALSE(fs::exists(t.folder() / "gone"));
}

TEST(ActivityLog, FlushPutsEverythingWrittenOnDisk) {
  test::TestProgram t(true);
  t.openLog();
  writeLog(*t, "line before flush", true);
  flushActivityLog(*t);
  EXPECT_NE(test::readFile(t->activityLog.fileName).find("line before flush"), std::string::npos);
  writeLog(*t, "line after flush", false);
  flushActivityLog(*t);
  EXPECT_NE(test::readFile(t->activityLog.fileName).find("line after flush\r\n"), std::string::npos);
  EXPECT_EQ(logFiles(t).size(), 1u);
  EXPECT_EQ(t->handledErrorCount, 0);
}

}  // namespace
}  // namespace travik

namespace travik {
namespace {

TEST(ActivityLog, AFileDeletedWhileOpenIsReplacedByANewOne) {
  test::TestProgram t(true);
  t.openLog();
  std::filesystem::remove(t->activityLog.fileName);
  writeLog(*t, "still logged", true);
  flushActivityLog(*t);
  EXPECT_NE(test::readFile(t->activityLog.fileName).find("still logged"), std::string::npos);
  EXPECT_EQ(t->handledErrorCount, 0);
}

}  // namespace
}  // namespace travik

namespace travik {
namespace {

namespace fs = std::filesystem;

// The log as start-up begins it, then flushed so the file can be read.
std::string logText(test::TestProgram& t) {
  flushActivityLog(*t);
  return t->activityLog.file.is_open() ? test::readFile(t->activityLog.fileName) : std::string();
}

TEST(ActivityLogResumes, WhenTheMissingOutputFolderAppears) {
  test::TestProgram t(true);
  std::vector<std::string> standardError;
  t->standardError = [&](std::string_view line) { standardError.emplace_back(line); };
  const fs::path output = t.folder() / "later";
  t->settings.outputPath = output.string();
  openActivityLog(*t, GenerateNewLogFileName(*t));
  writeLog(*t, "lost: no folder", true);
  EXPECT_FALSE(t->activityLog.file.is_open());
  // Not lost after all: standard error (the journal) has the line, and the
  // folder that event 17 means, whose text cannot name it.
  ASSERT_FALSE(standardError.empty());
  EXPECT_EQ(standardError.back(), timeStamped(t.host.clock, "lost: no folder"));
  EXPECT_NE(std::find(standardError.begin(), standardError.end(),
                      output.string() + " does not exist.  Please select a valid folder for output files."),
            standardError.end());
  ASSERT_FALSE(t.events.entries.empty());
  EXPECT_EQ(t.events.entries.back().eventId, 17);
  EXPECT_EQ(t.events.entries.back().text, "");

  fs::create_directories(output);
  standardError.clear();
  writeLog(*t, "the folder is back", true);
  EXPECT_TRUE(standardError.empty()) << standardError.front();
  ASSERT_TRUE(t->activityLog.file.is_open());
  EXPECT_EQ(fs::path(t->activityLog.fileName).parent_path(), output / "logs");
  const std::string log = logText(t);
  EXPECT_NE(log.find("TRAVIK Service activity"), std::string::npos);
  EXPECT_NE(log.find("the folder is back\r\n"), std::string::npos);
  EXPECT_EQ(log.find("lost: no folder"), std::string::npos);
  EXPECT_EQ(t->handledErrorCount, 0);
}

// A file named "logs" keeps the logs folder from being made, whoever runs the test.
TEST(ActivityLogResumes, WhenTheLogsFolderCanBeMadeWithoutAnErrorStorm) {
  test::TestProgram t(true);
  const fs::path blocker = t.outputFolder() / "logs";
  test::writeFile(blocker, "in the way");
  openActivityLog(*t, GenerateNewLogFileName(*t));
  ASSERT_FALSE(t->activityLog.file.is_open());
  writeLog(*t, "first line", true);  // one more attempt, which fails too
  const int errors = t->handledErrorCount;
  EXPECT_GT(errors, 0);
  for (int i = 0; i < 200; ++i) writeLog(*t, "a line while the folder cannot be made", true);
  for (int i = 0; i < 10; ++i) flushActivityLog(*t);  // flush timer ticks
  EXPECT_EQ(t->handledErrorCount, errors);

  fs::remove(blocker);
  // Within the minute after a failed attempt the file is not tried again.
  writeLog(*t, "too soon", true);
  EXPECT_FALSE(t->activityLog.file.is_open());
  t.host.clock = t.host.clock.addSeconds(60);
  writeLog(*t, "logged again", true);
  ASSERT_TRUE(t->activityLog.file.is_open());
  EXPECT_NE(logText(t).find("logged again\r\n"), std::string::npos);
  EXPECT_EQ(t->handledErrorCount, errors);
}

TEST(ActivityLogResumes, WhenTheOutputFolderBecomesWritable) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into a read-only folder; the test above covers the seam";
  test::TestProgram t(true);
  fs::permissions(t.outputFolder(), fs::perms::owner_read | fs::perms::owner_exec);
  openActivityLog(*t, GenerateNewLogFileName(*t));
  ASSERT_FALSE(t->activityLog.file.is_open());
  const int errors = t->handledErrorCount;
  // The folder check keeps every line from trying the file again.
  for (int i = 0; i < 100; ++i) writeLog(*t, "a line while the folder is read-only", true);
  EXPECT_EQ(t->handledErrorCount, errors);

  fs::permissions(t.outputFolder(), fs::perms::owner_all);
  writeLog(*t, "writable again", true);
  ASSERT_TRUE(t->activityLog.file.is_open());
  EXPECT_NE(logText(t).find("writable again\r\n"), std::string::npos);
  EXPECT_EQ(t->handledErrorCount, errors);
}

TEST(ActivityLogResumes, NotAfterTheLogWasClosed) {
  test::TestProgram t(true);
  t.openLog();
  closeActivityLog(*t);
  writeLog(*t, "after the exit", true);
  EXPECT_FALSE(t->activityLog.file.is_open());
}

}  // namespace
}  // namespace travik
