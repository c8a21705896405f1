#include "processing/reports/call_reports.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "processing/reports/csv.h"
#include "processing/runtime/call_counters.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;

// The counters' header fields, as the reports write them.
const std::string kCounters = [] {
  std::string fields;
  for (const char* name : kCallCounterNames) fields += (fields.empty() ? "" : ",") + std::string(name);
  return fields;
}();

class CallReports : public ::testing::Test {
 protected:
  CallReports() { test.host.clock = DateTime(2006, 1, 3, 8, 0, 0); }

  std::string report(const std::string& kind) {
    return test::readFile(test.outputFolder() / ("TRAVIK-REPORT." + kind + ".01032006.080000.csv"));
  }

  void addCall(const char* callid, const char* begin, const char* end, const char* exitcode, bool inbound) {
    auto insert = test->db.prepare(
        "insert into calls (timestampbegin, timestampend, callid, inbound, line, durationInSeconds, exitcode, "
        "corvaneserialnumber, octelserialnumber, protocollevel, msgsendattempt, msgsendsuccess, msgreceiveattempt, "
        "msgreceivesuccess, numberrecipientssent, adminnamesrequested, textnamesreceived, voicenamesreceived, "
        "adminnamerequestsrecd, textnamessent, voicenamessent) "
        "values (?1, ?2, ?3, ?4, 3, ?5, ?6, 'CV-9', '7001', '2', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11)");
    insert.bind(1, begin).bind(3, callid).bind(4, inbound);
    end ? insert.bind(2, end) : insert.bindNull(2);
    end ? insert.bind(5, 30) : insert.bindNull(5);
    exitcode ? insert.bind(6, exitcode) : insert.bindNull(6);
    insert.run();
  }

  test::TestProgram test;
};

TEST_F(CallReports, AllCallsListsEveryCallWithItsErrorInCallIdTextOrder) {
  // December of 2005 sorts after January of 2006: the id begins with month, day, year.
  addCall("12312005.235900.000.001.003", "2005-12-31 23:59:00", "2005-12-31 23:59:30", "E0012.0003", true);
  addCall("01022006.000000.000.001.003", "2006-01-02 00:00:00", "2006-01-02 00:00:30", "OK", false);
  addCall("01032006.070000.000.001.003", "2006-01-03 07:00:00", nullptr, nullptr, true);
  auto error = test->db.prepare(
      "insert into errors (callid, timestamperror, state, statetext, reason, reasontext, exitcode, expecteddigits, "
      "receiveddigits, expectednumberdigits, receivednumberdigits, previousstatedata) "
      "values ('12312005.235900.000.001.003', '2005-12-31 23:59:30', 12, 'Wait, for \"ack\"', 3, 'Timeout', "
      "'E0012.0003', '#', '1,2', 1, 2, 'prev')");
  error.run();

  ASSERT_TRUE(reportAllCallsErrors(*test));
  EXPECT_EQ(report("AllCalls"),
            std::string("octelserialnumber,timestampbegin,timestampend,callid,inbound,line,durationInSeconds,exitcode,"
                        "corvaneserialnumber,protocollevel,") +
                kCounters +
                ",timestamperror,state,statetext,reason,reasontext,expecteddigits,receiveddigits,"
                "expectednumberdigits,receivednumberdigits\r\n"
                "7001,1/2/2006,1/2/2006 12:00:30 AM,01022006.000000.000.001.003,False,3,30,OK,CV-9,2,"
                "1,2,3,4,5,6,7,8,9,10,11,,,\"\",,\"\",,,,\r\n"
                "7001,1/3/2006 7:00:00 AM,,01032006.070000.000.001.003,True,3,,,CV-9,2,"
                "1,2,3,4,5,6,7,8,9,10,11,,,\"\",,\"\",,,,\r\n"
                "7001,12/31/2005 11:59:00 PM,12/31/2005 11:59:30 PM,12312005.235900.000.001.003,True,3,30,"
                "E0012.0003,CV-9,2,1,2,3,4,5,6,7,8,9,10,11,12/31/2005 11:59:30 PM,12,\"Wait, for \"\"ack\"\"\",3,"
                "\"Timeout\",#,\"1,2\",1,2\r\n");
}

TEST_F(CallReports, EmptyTablesGiveHeaderOnlyFiles) {
  ASSERT_TRUE(reportAllCallsErrors(*test));
  ASSERT_TRUE(reportLineSummary(*test, kLineSummarySelection));
  ASSERT_TRUE(reportOctelSummary(*test, kOctelSummarySelection));
  EXPECT_EQ(report("AllCalls").find("\r\n"), report("AllCalls").size() - 2);
  EXPECT_EQ(report("LineSummary"),
            std::string("line,calls,errors,errorpercent,timeinuseInSeconds,") + kCounters + "\r\n");
  EXPECT_EQ(report("OctelSummary"),
            std::string("octelserialnumber,calls,errors,errorpercent,callswithininterval,errorswithininterval,"
                        "errorpercentwithininterval,timeinuseInSeconds,") +
                kCounters + "\r\n");
}

TEST_F(CallReports, LineSummaryOrdersLinesAsNumbersAndKeepsEmptyTotalsEmpty) {
  test->db.exec(
      "insert into linesummary values (10, 4, 1, 25, 600, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11);"
      "insert into linesummary (line, calls, errors, errorpercent, timeinuseInSeconds) values (2, 1, 0, 0, NULL);");
  ASSERT_TRUE(reportLineSummary(*test, kLineSummarySelection));
  const std::string text = report("LineSummary");
  EXPECT_EQ(text.substr(text.find("\r\n") + 2),
            "2,1,0,0,,0,0,0,0,0,0,0,0,0,0,0\r\n"
            "10,4,1,25,600,1,2,3,4,5,6,7,8,9,10,11\r\n");
}

TEST_F(CallReports, OctelSummaryOrdersNodesAsText) {
  test->db.exec(
      "insert into octelsummary (octelserialnumber, calls, errors, errorpercent, callswithininterval, "
      "errorswithininterval, errorpercentwithininterval, timeinuseInSeconds) values "
      "('Unknown', 1, 1, 100, 0, 0, 0, 12), ('10', 8, 1, 12, 8, 1, 12, 90), ('9', 3, 2, 67, 3, 2, 67, 45)");
  ASSERT_TRUE(reportOctelSummary(*test, kOctelSummarySelection));
  const std::string text = report("OctelSummary");
  EXPECT_EQ(text.substr(text.find("\r\n") + 2),
            "10,8,1,12,8,1,12,90,0,0,0,0,0,0,0,0,0,0,0\r\n"
            "9,3,2,67,3,2,67,45,0,0,0,0,0,0,0,0,0,0,0\r\n"
            "Unknown,1,1,100,0,0,0,12,0,0,0,0,0,0,0,0,0,0,0\r\n");
}

TEST_F(CallReports, FractionalNumbersUsePlainDecimalNotationWithFifteenSignificantDigits) {
  ASSERT_TRUE(reportLineSummary(*test,
                                "select 1 as line, 2.5 as calls, 1.0/3 as errors, -0.000001 as errorpercent, "
                                "1e20 as timeinuseInSeconds, 3.0 as msgsendattempt, 123456.75 as msgsendsuccess, "
                                "0 as msgreceiveattempt, 0 as msgreceivesuccess, 0 as numberrecipientssent, "
                                "0 as adminnamesrequested, 0 as textnamesreceived, 0 as voicenamesreceived, "
                                "0 as adminnamerequestsrecd, 0 as textnamessent, -7 as voicenamessent"));
  const std::string text = report("LineSummary");
  EXPECT_EQ(text.substr(text.find("\r\n") + 2),
            "1,2.5,0.333333333333333,-0.000001,100000000000000000000,3,123456.75,0,0,0,0,0,0,0,0,-7\r\n");
}

// The fields of one comma-separated line, quotes removed.
std::vector<std::string> fields(std::string_view line) {
  std::vector<std::string> out(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      out.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      out.emplace_back();
    } else {
      out.back() += c;
    }
  }
  return out;
}

TEST_F(CallReports, NoCellOfAReportReadsAsAFormulaButNumbersStayNumbers) {
  addCall("01022006.000000.000.001.003", "2006-01-02 00:00:00", "2006-01-02 00:00:30", "OK", true);
  test->db.exec(
      "update calls set octelserialnumber = '@SUM(1+1)*cmd|''/C calc''!A0', protocollevel = '=2+5', "
      "corvaneserialnumber = '-1+1', durationInSeconds = -30, msgsendattempt = -2");
  test->db.exec(
      "insert into errors (callid, timestamperror, state, statetext, reason, reasontext, exitcode, expecteddigits, "
      "receiveddigits, expectednumberdigits, receivednumberdigits) values ('01022006.000000.000.001.003', "
      "'2006-01-02 00:00:30', -1, '+cmd', 3, char(9) || 'tab', 'E', char(13) || 'cr', '-42', 1, 2)");
  test->db.exec("insert into linesummary (line, calls, errors, errorpercent) values (-3, 1, 0, -0.5)");
  ASSERT_TRUE(reportAllCallsErrors(*test));
  ASSERT_TRUE(reportLineSummary(*test, kLineSummarySelection));

  for (const std::string kind : {"AllCalls", "LineSummary"}) {
    const std::string text = report(kind);
    std::size_t at = 0;
    while (at < text.size()) {
      const std::size_t end = text.find("\r\n", at);
      ASSERT_NE(end, std::string::npos);
      for (const std::string& field : fields(std::string_view(text).substr(at, end - at)))
        EXPECT_FALSE(csvLooksLikeFormula(field)) << kind << ": " << field;
      at = end + 2;
    }
  }
  const std::vector<std::string> call = fields(report("AllCalls").substr(report("AllCalls").find("\r\n") + 2));
  ASSERT_EQ(call.size(), 30u);
  EXPECT_EQ(call[0], "'@SUM(1+1)*cmd|'/C calc'!A0");
  EXPECT_EQ(call[6], "-30");  // a number column keeps its sign
  EXPECT_EQ(call[8], "'-1+1");
  EXPECT_EQ(call[9], "'=2+5");
  EXPECT_EQ(call[10], "-2");
  EXPECT_EQ(call[22], "-1");
  EXPECT_EQ(call[23], "'+cmd");
  EXPECT_EQ(call[25], "'\ttab");
  EXPECT_EQ(call[26], "'\rcr");
  EXPECT_EQ(call[27], "-42");  // a text that is a plain number is no formula
  EXPECT_NE(report("LineSummary").find("\r\n-3,1,0,-0.5,"), std::string::npos);
}

}  // namespace
}  // namespace travik
