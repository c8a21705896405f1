#include "processing/event_export.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <gtest/gtest.h>
#include <pcre2.h>

#include <filesystem>
#include <sstream>

#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;

// What the trace reader takes from one line: the first match of the gateway's
// trace pattern, cut at its fixed positions, the text trimmed.
struct ReadBack {
  bool matched = false;
  std::string stamp;  // stored form
  int milliseconds = 0;
  int line = 0;
  std::string data;
};

ReadBack readTraceLine(const std::string& text) {
  static const char* kPattern =
      "[0-9]{4}/[0-9]{2}/[0-9]{2}-[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} .* Line [0-9]{1,2}: .*$";
  int code = 0;
  PCRE2_SIZE offset = 0;
  pcre2_code* re =
      pcre2_compile(reinterpret_cast<PCRE2_SPTR>(kPattern), PCRE2_ZERO_TERMINATED, 0, &code, &offset, nullptr);
  pcre2_match_data* match = pcre2_match_data_create_from_pattern(re, nullptr);
  ReadBack result;
  if (pcre2_match(re, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0, match, nullptr) > 0) {
    const PCRE2_SIZE* range = pcre2_get_ovector_pointer(match);
    const std::string m = text.substr(range[0], range[1] - range[0]);
    auto at = [&](std::size_t position, std::size_t length) { return m.substr(position - 1, length); };
    result.matched = true;
    result.stamp = at(1, 4) + "-" + at(6, 2) + "-" + at(9, 2) + " " + at(12, 2) + ":" + at(15, 2) + ":" + at(18, 2);
    result.milliseconds = std::stoi(at(21, 3));
    const bool twoDigits = m.size() >= 40 && at(34, 5) == "Line " && isdigit(m[38]) && isdigit(m[39]);
    result.line = std::stoi(twoDigits ? at(39, 2) : at(39, 1));
    std::string data = m.substr(twoDigits ? 42 : 41);
    data.erase(0, data.find_first_not_of(' '));
    data.erase(data.find_last_not_of(' ') + 1);
    result.data = data.substr(0, 254);
  }
  pcre2_match_data_free(match);
  pcre2_code_free(re);
  return result;
}

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
    const ReadBack event = readTraceLine(line);
    ASSERT_TRUE(event.matched) << line;
    readBack.push_back(event.stamp + "|" + std::to_string(event.milliseconds) + "|" + std::to_string(event.line) + "|" +
                       event.data);
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
