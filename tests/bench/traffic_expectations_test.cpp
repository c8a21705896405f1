// Comparing rebuilt calls with the generator's summary.
#include "bench/traffic_expectations.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "bench/traffic_generator.h"
#include "tests/support/test_program.h"

namespace travik::traffic {
namespace {

// Writes the rows a faithful call reconstruction would write for the summary.
void storeAsRebuilt(db::Connection& database, const std::vector<SummaryRow>& rows) {
  db::Transaction transaction(database);
  auto call = database.prepare(
      "insert into calls (callid, line, inbound, timestampbegin, timestampend, durationInSeconds, exitcode, "
      "octelserialnumber, corvaneserialnumber, protocollevel, msgsendattempt, msgsendsuccess, msgreceiveattempt, "
      "msgreceivesuccess, numberrecipientssent, adminnamesrequested, textnamesreceived, voicenamesreceived, "
      "adminnamerequestsrecd, textnamessent, voicenamessent) values "
      "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20, ?21)");
  auto task = database.prepare("insert into tasks (callid, taskid, tasktype, fax) values (?1, ?2, ?3, ?4)");
  auto recipient = database.prepare("insert into recipients (callid, recipient, rejected) values (?1, '1234', ?2)");
  auto error = database.prepare(
      "insert into errors (callid, state, reason, exitcode, expecteddigits, receiveddigits, expectednumberdigits, "
      "receivednumberdigits) values (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
  const char* counters[] = {"msgsendattempt",        "msgsendsuccess",      "msgreceiveattempt", "msgreceivesuccess",
                            "numberrecipientssent",  "adminnamesrequested", "textnamesreceived", "voicenamesreceived",
                            "adminnamerequestsrecd", "textnamessent",       "voicenamessent"};
  for (const auto& row : rows) {
    const std::string& id = row.at("callid");
    call.bind(1, id).bind(2, std::stoi(row.at("line"))).bind(3, std::stoi(row.at("inbound")));
    call.bind(4, row.at("timestampbegin")).bind(5, row.at("timestampend"));
    call.bind(6, std::stoi(row.at("durationInSeconds"))).bind(7, row.at("exitcode"));
    call.bind(8, row.at("octelserialnumber")).bind(9, row.at("corvaneserialnumber"));
    if (row.at("protocollevel").empty())
      call.bindNull(10);
    else
      call.bind(10, row.at("protocollevel"));
    for (int i = 0; i < 11; ++i) call.bind(11 + i, std::stoi(row.at(counters[i])));
    call.run();
    const int tasks = std::stoi(row.at("tasks")), incomplete = std::stoi(row.at("incompletetasks"));
    const int fax = std::stoi(row.at("faxtasks"));
    for (int i = 0; i < tasks; ++i)
      task.bind(1, id)
          .bind(2, id + "." + std::to_string(i))
          .bind(3, i < incomplete ? "Voice Message [Incomplete]" : "Voice Message")
          .bind(4, i < fax)
          .run();
    const int recipients = std::stoi(row.at("recipients")), rejected = std::stoi(row.at("rejectedrecipients"));
    for (int i = 0; i < recipients; ++i) recipient.bind(1, id).bind(2, i < rejected).run();
    if (row.at("state") != "0")
      error.bind(1, id)
          .bind(2, std::stoi(row.at("state")))
          .bind(3, std::stoi(row.at("reason")))
          .bind(4, row.at("exitcode"))
          .bind(5, row.at("expecteddigits"))
          .bind(6, row.at("receiveddigits"))
          .bind(7, std::stoi(row.at("expectednumberdigits")))
          .bind(8, std::stoi(row.at("receivednumberdigits")))
          .run();
  }
  transaction.commit();
}

class CompareCallsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TrafficOptions options;
    options.folder = program.traceFolder();
    options.lines = 4;
    options.hours = 3;
    options.end = DateTime(2005, 6, 15, 12, 0, 0);
    options.seed = 5;
    options.failurePercent = 30;
    generateTraffic(options);
    summary = readSummary(program.traceFolder() / "traffic-summary.csv");
    ASSERT_GT(summary.size(), 20u);
    storeAsRebuilt(program->db, summary);
  }

  test::TestProgram program;
  std::vector<SummaryRow> summary;
};

TEST_F(CompareCallsTest, AFaithfulReconstructionMatchesEveryCall) {
  const CallComparison result = compareCalls(program->db, program.traceFolder() / "traffic-summary.csv");
  EXPECT_TRUE(result.allMatch());
  EXPECT_EQ(result.matching, summary.size());
  EXPECT_TRUE(result.differences.empty()) << result.differences.front();
}

TEST_F(CompareCallsTest, NamesEveryKindOfDifference) {
  // A call with recipients to change, and another one to lose.
  const auto withRecipients =
      std::find_if(summary.begin(), summary.end(), [](const SummaryRow& row) { return row.at("recipients") != "0"; });
  ASSERT_NE(withRecipients, summary.end());
  const SummaryRow& changed = *withRecipients;
  const SummaryRow& lost = withRecipients == summary.begin() ? summary.back() : summary.front();
  const std::string wrong = changed.at("callid"), missing = lost.at("callid");
  program->db.prepare("update calls set exitcode = 'E00990999' where callid = ?1").bind(1, wrong).run();
  program->db.prepare("delete from recipients where callid = ?1").bind(1, wrong).run();
  program->db.prepare("delete from calls where callid = ?1").bind(1, missing).run();
  program->db.exec("insert into calls (callid, line, exitcode) values ('01011900.000000.000.001.001', 1, 'OK')");

  const CallComparison result = compareCalls(program->db, program.traceFolder() / "traffic-summary.csv");
  EXPECT_FALSE(result.allMatch());
  EXPECT_EQ(result.matching, summary.size() - 2);
  EXPECT_EQ(result.actual, summary.size());
  std::string all;
  for (const auto& text : result.differences) all += text + "\n";
  EXPECT_NE(all.find(wrong + " (" + changed.at("scenario") + "): exitcode is \"E00990999\""), std::string::npos) << all;
  EXPECT_NE(all.find(wrong + " (" + changed.at("scenario") + "): recipients is \"0\""), std::string::npos) << all;
  EXPECT_NE(all.find(missing + " (" + lost.at("scenario") + "): no calls row"), std::string::npos) << all;
  EXPECT_NE(all.find("01011900.000000.000.001.001: a calls row the generator did not make"), std::string::npos) << all;
}

TEST(ReadSummary, KeepsQuotedFieldsWhole) {
  test::TempFolder temp;
  test::writeFile(temp.path() / "s.csv", "callid,scenario\n1,\"a, \"\"b\"\"\"\n2,c\n");
  const auto rows = readSummary(temp.path() / "s.csv");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].at("scenario"), "a, \"b\"");
  EXPECT_EQ(rows[1].at("callid"), "2");
}

}  // namespace
}  // namespace travik::traffic
