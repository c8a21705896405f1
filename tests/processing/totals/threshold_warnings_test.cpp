#include "processing/totals/threshold_warnings.h"

#include <gtest/gtest.h>

#include "processing/runtime/application_parameters.h"
#include "tests/processing/totals/summary_fixtures.h"

namespace travik {
namespace {

class ThresholdWarnings : public ::testing::Test {
 protected:
  // A morning clock: the log lines the tests look for are stamped "AM".
  ThresholdWarnings() {
    t.host.clock = DateTime(2026, 1, 5, 9, 30, 0);
    t.openLog();
  }
  void node(const std::string& serial, std::optional<int> errorsWithin) {
    t->db.prepare("insert into octelsummary (octelserialnumber, errorswithininterval) values (?1, ?2)")
        .bind(1, serial)
        .bind(2, errorsWithin)
        .run();
  }
  // Each entry as id/kind/first line of its text.
  std::vector<std::string> entries() {
    std::vector<std::string> result;
    for (const auto& e : t.events.entries)
      result.push_back(std::to_string(e.eventId) + "/" + std::to_string(static_cast<int>(e.kind)) + "/" +
                       e.text.substr(0, e.text.find('\r')));
    return result;
  }
  test::TestProgram t;
};

TEST_F(ThresholdWarnings, WarningFromTheWarningThresholdErrorFromTheErrorThresholdAtEveryRun) {
  for (int errors : {2, 3, 4, 5, 9}) node("N" + std::to_string(errors), errors);
  node("NULL", std::nullopt);
  logThresholdWarnings(*t);
  logThresholdWarnings(*t);
  EXPECT_EQ(entries(),
            (std::vector<std::string>{"6/2/N3", "6/2/N4", "7/3/N5", "7/3/N9", "6/2/N3", "6/2/N4", "7/3/N5", "7/3/N9"}));
  EXPECT_EQ(t.events.entries[0].text, "N3\r\n [3 communication problems encountered within the last 24 hours.]");

  // With the error threshold below the warning threshold a node between them gets nothing.
  t.events.entries.clear();
  setApplicationParameter(*t, parameter::kWarningThreshold, "5");
  setApplicationParameter(*t, parameter::kErrorThreshold, "3");
  logThresholdWarnings(*t);
  EXPECT_EQ(entries(), (std::vector<std::string>{"7/3/N5", "7/3/N9"}));
}

TEST_F(ThresholdWarnings, ExclusionIgnoresCaseAndReadsZeroAsUnknown) {
  for (const char* serial : {"ab12", "unKNOWN", "40712"})
    t->db.prepare("insert into excludefromeventviewer (serialno) values (?1)").bind(1, serial).run();
  node("AB12", 9);
  node("0", 9);
  node("40712", 0);
  node("AB13", 9);
  logThresholdWarnings(*t);
  EXPECT_EQ(entries(), (std::vector<std::string>{"7/3/AB13"}));
  const std::string log = test::activityLogText(t);
  const std::string tail =
      " is configured for exclusion from threshold violation Event Viewer notification.  Skipping notification "
      "processing for this record.\r\n";
  for (const char* serial : {"AB12", "0", "40712"})  // the stored serial, even without errors
    EXPECT_EQ(test::occurrences(log, std::string("AM: ") + serial + tail), 1) << serial;
  EXPECT_FALSE(excludeFromEventViewer(*t, "00"));
}

}  // namespace
}  // namespace travik
