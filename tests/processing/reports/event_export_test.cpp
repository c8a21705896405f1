#include "processing/reports/event_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "processing/ingest/trace_log_parser.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;

class EventExport : public ::testing::Test {
 protected:
  EventExport() { test.host.clock = DateTime(2005, 4, 18, 15, 4, 5); }

  fs::path exportFile() const { return test.outputFolder() / "MVLOG.TRAVIK.04182005.150405.log"; }

  void addEvent(const char* stamp, int milliseconds, int sequence, int line, const char* data) {
    auto insert = test->db.prepare("insert into Events values (?1, ?2, ?3, ?4, ?5)");
    insert.bind(1, stamp).bind(2, milliseconds).bind(3, sequence).bind(4, line);
    data ? insert.bind(5, data) : insert.bindNull(5);
    insert.run();
  }

  test::TestProgram test;
};

TEST_F(EventExport, LinesHaveTheGatewaysTraceLayout) {
  addEvent("2005-04-01 09:15:02", 5, 1, 7, "Call Received.");
  addEvent("2005-04-01 21:15:02", 120, 1, 12, "Call Status = 3");
  addEvent("2005-04-01 21:15:02", 120, 2, 0, nullptr);
  ASSERT_TRUE(reportMVEvents(*test, kExportSelection));
  EXPECT_EQ(test::readFile(exportFile()),
            " MVLOG 0000 0000 2005/04/01-09:15:02.005 00000000 Line 7: Call Received. \r\n"
            " MVLOG 0000 0000 2005/04/01-21:15:02.120 00000000 Line 12: Call Status = 3 \r\n"
            " MVLOG 0000 0000 2005/04/01-21:15:02.120 00000000 Line 0:  \r\n");
  EXPECT_EQ(test->handledErrorCount, 0);
}

TEST_F(EventExport, AnEmptySelectionGivesAnEmptyFile) {
  ASSERT_TRUE(reportMVEvents(*test, kExportSelection));
  ASSERT_TRUE(fs::exists(exportFile()));
  EXPECT_EQ(fs::file_size(exportFile()), 0u);
}

TEST_F(EventExport, ExportedLinesReadBackAsTheSameEvents) {
  const std::string longText(254, 'x');
  addEvent("2005-12-31 23:59:59", 999, 1, 99, "Processing messages from node: 7001");
  addEvent("2006-01-01 00:00:00", 0, 1, 1, "Line 5: looks like a field");
  addEvent("2006-01-01 00:00:00", 0, 2, 10, longText.c_str());
  addEvent("2006-01-01 12:30:00", 42, 1, 9, "a, \"quoted\" text");
  ASSERT_TRUE(reportMVEvents(*test, kExportSelection));

  std::istringstream file(test::readFile(exportFile()));
  std::vector<std::string> readBack;
  for (std::string line; std::getline(file, line);) {
    ASSERT_EQ(line.back(), '\r');
    line.pop_back();
    CCallEvent event;
    ASSERT_TRUE(parseTraceLine(line, event)) << line;
    readBack.push_back(event.dateTimeStamp.toStored() + "|" + std::to_string(event.intMilliseconds) + "|" +
                       std::to_string(event.intLine) + "|" + event.strData);
  }
  std::vector<std::string> stored;
  for (const std::string& row : test.rows("select Timestamp, Milliseconds, Line, Data from Events order by "
                                          "Timestamp, Milliseconds, Sequence"))
    stored.push_back(row);
  EXPECT_EQ(readBack, stored);
}

TEST_F(EventExport, AnEventTheReaderCouldNotReadBackIsReportedAndTheExportFails) {
  addEvent("2005-04-01 09:15:02", 1000, 1, 7, "bad milliseconds");
  addEvent("2005-04-01 09:15:03", 1, 1, 100, "bad line");
  addEvent("2005-04-01 09:15:04", 2, 1, 3, "good");
  EXPECT_FALSE(reportMVEvents(*test, kExportSelection));
  EXPECT_EQ(test->handledErrorCount, 2);
  EXPECT_EQ(test::readFile(exportFile()), " MVLOG 0000 0000 2005/04/01-09:15:04.002 00000000 Line 3: good \r\n");
}

TEST_F(EventExport, AMissingOutputFolderFailsOnceSoNothingMayBeDeleted) {
  for (int i = 0; i < 60; ++i) addEvent("2005-04-01 09:15:02", i, 1, 1, "x");
  test->settings.outputPath = (test.folder() / "gone").string();
  EXPECT_FALSE(reportMVEvents(*test, kExportSelection));
  EXPECT_EQ(test->handledErrorCount, 1);
}

}  // namespace
}  // namespace travik
