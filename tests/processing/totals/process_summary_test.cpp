#include "processing/totals/process_summary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/db.h"
#include "tests/processing/totals/summary_fixtures.h"

namespace travik {
namespace {

using test::CallRow;
using test::failedCall;

TEST(ProcessSummary, TotalsAgreeWithTheCallsAndEntriesReachTheEventLog) {
  test::TestProgram t;
  t.host.clock = DateTime(2024, 3, 10, 10, 0, 0);
  t.openLog();
  std::vector<CallRow> calls;
  unsigned seed = 7;
  auto next = [&](unsigned bound) { return ((seed = seed * 1103515245u + 12345u) >> 16) % bound; };
  const char* nodes[] = {"40712", "40713", "Unknown"};
  for (int i = 0; i < 300; ++i) {
    const int line = 1 + static_cast<int>(next(12));
    const std::string node = nodes[next(3)];
    CallRow call = next(4) == 0   ? failedCall(line, node)
                   : next(3) == 0 ? test::openCall(line, node)
                                  : CallRow{.line = line, .node = node};
    for (auto& counter : call.counters) counter = static_cast<int>(next(5));
    calls.push_back(call);
  }
  test::insertCalls(*t, calls);
  processSummaryData(*t);

  const std::string sums =
      "count(*), count(case when exitcode like 'E%' then 1 end), coalesce(sum(durationInSeconds), 0),"
      " sum(msgsendattempt), sum(msgsendsuccess), sum(msgreceiveattempt), sum(msgreceivesuccess),"
      " sum(numberrecipientssent), sum(adminnamesrequested), sum(textnamesreceived), sum(voicenamesreceived),"
      " sum(adminnamerequestsrecd), sum(textnamessent), sum(voicenamessent)";
  const std::string columns =
      "calls, errors, timeinuseInSeconds, msgsendattempt, msgsendsuccess, msgreceiveattempt, msgreceivesuccess,"
      " numberrecipientssent, adminnamesrequested, textnamesreceived, voicenamesreceived, adminnamerequestsrecd,"
      " textnamessent, voicenamessent";
  EXPECT_EQ(t.rows("select line, " + columns + " from linesummary order by 1"),
            t.rows("select line, " + sums + " from calls group by 1 order by 1"));
  EXPECT_EQ(t.rows("select octelserialnumber, " + columns + " from octelsummary order by 1"),
            t.rows("select octelserialnumber, " + sums + " from calls group by 1 order by 1"));
  EXPECT_EQ(t->handledErrorCount, 0);
  // Every node is far past the error threshold of 5.
  ASSERT_EQ(t.events.entries.size(), 3u);
  EXPECT_EQ(t.events.entries[0].eventId, 7);
  EXPECT_EQ(t.events.entries[0].source, "TRAVIK Service");

  const std::string log = test::activityLogText(t);
  const auto lines = log.find("AM: Calculating per line totals...\r\n");
  const auto nodeTotals = log.find("AM: Calculating per node totals...\r\n");
  EXPECT_LT(lines, nodeTotals);
  EXPECT_LT(nodeTotals, log.find("AM: Generating reports...\r\n"));
  EXPECT_EQ(t.host.statuses.size(), 3u);
}

TEST(ProcessSummary, ContentionDuringTheTotalsIsNotCountedAndKeepsThePreviousTotalsAndTheirReports) {
  test::TestProgram t(false);
  t->gatewayNotInstalled = false;
  t.host.clock = DateTime(2024, 3, 10, 10, 0, 0);  // the log lines looked for are stamped "AM"
  t.openLog();
  test::insertCalls(*t, {failedCall(1, "40712"), failedCall(2, "40713")});
  t->db.exec(
      "insert into linesummary (line, calls, errors) values (1, 4, 1);"
      "insert into octelsummary (octelserialnumber, calls, errors) values ('40712', 4, 1)");
  const std::filesystem::path folder = t.outputFolder();
  for (const char* kind : {"AllCalls", "LineSummary", "OctelSummary"})
    test::writeFile(folder / (std::string("TRAVIK-REPORT.") + kind + ".01012024.000000.csv"), "before");
  t->db.setBusyTimeout(20);
  // The other program holds the database while the totals are computed.
  db::Connection other;
  other.open(t->databasePath().string());
  other.exec("BEGIN IMMEDIATE");
  processSummaryData(*t);
  other.exec("ROLLBACK");

  EXPECT_EQ(t->handledErrorCount, 0);
  ASSERT_EQ(t.host.boxes.size(), 2u);
  EXPECT_TRUE(t.host.boxes[0].text.starts_with("(error):-2147217887 ("));
  EXPECT_TRUE(t.host.boxes[0].text.ends_with(") in procedure calculateTotalsForLines()"));
  EXPECT_TRUE(t.host.boxes[1].text.ends_with(") in procedure calculateTotalsForOctels()"));
  const std::string log = test::activityLogText(t);
  EXPECT_EQ(test::occurrences(log, "AM: Database contention between TRAVIK admin and TRAVIK service\r\n"), 2);
  EXPECT_EQ(test::occurrences(log, "AM: TRAVIK service will now exit this processing cycle\r\n"), 2);
  // The previous totals stay whole, are not warned of again, and keep their reports.
  EXPECT_EQ(test::occurrences(log, "threshold"), 0);
  EXPECT_NE(log.find("Generating reports..."), std::string::npos);
  EXPECT_EQ(t.rows("select line, calls, errors from linesummary"), std::vector<std::string>{"1|4|1"});
  EXPECT_EQ(t.rows("select octelserialnumber, calls from octelsummary"), std::vector<std::string>{"40712|4"});
  std::vector<std::string> reports;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.is_regular_file()) reports.push_back(entry.path().filename().string());
  std::sort(reports.begin(), reports.end());
  ASSERT_EQ(reports.size(), 4u);
  EXPECT_TRUE(reports[0].starts_with("TRAVIK-REPORT.AllCalls.") &&
              reports[0] != "TRAVIK-REPORT.AllCalls.01012024.000000.csv");
  EXPECT_EQ(reports[1], "TRAVIK-REPORT.LineSummary.01012024.000000.csv");
  EXPECT_EQ(reports[2], "TRAVIK-REPORT.OctelSummary.01012024.000000.csv");
  EXPECT_TRUE(reports[3].starts_with("TRAVIK-REPORT.RejectedRecipients."));
}

TEST(ProcessSummary, AConsoleWithoutTheGatewayWritesNoThresholdEntries) {
  test::TestProgram console(false);
  console->gatewayNotInstalled = true;
  test::insertCalls(*console, std::vector<CallRow>(5, failedCall(1, "40712", "2999-01-01 00:00:00")));
  processSummaryData(*console);
  EXPECT_TRUE(console.events.entries.empty());
  EXPECT_EQ(console.rows("select errorswithininterval from octelsummary"), std::vector<std::string>{"5"});
  EXPECT_EQ(console.host.statuses.back().text, "Generating reports...");
}

}  // namespace
}  // namespace travik
