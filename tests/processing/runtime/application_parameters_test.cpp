#include "processing/runtime/application_parameters.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <limits>

#include "processing/run/process_logs.h"
#include "processing/runtime/activity_log.h"
#include "tests/processing/call_trace.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

void setRow(test::TestProgram& t, const std::string& property, const std::string& value) {
  t->db.prepare("update applicationparameters set value = ?1 where property = ?2")
      .bind(1, value)
      .bind(2, property)
      .run();
}

// The six numbers of the delivered rows.
void expectDeliveredNumbers(const Settings& s) {
  EXPECT_EQ(s.dataRetentionHours, 72);
  EXPECT_EQ(s.processIntervalSeconds, 3600);
  EXPECT_EQ(s.warningThreshold, 3);
  EXPECT_EQ(s.errorThreshold, 5);
  EXPECT_EQ(s.errorIntervalHours, 24);
  EXPECT_EQ(s.testCallIntervalMinutes, 1440);
}

TEST(ApplicationParameters, DeliveredRowsLoadIntoTheSettings) {
  test::TestProgram t;
  const Settings& s = t->settings;
  expectDeliveredNumbers(s);
  EXPECT_EQ(s.testCallMailboxId, "9999");
  EXPECT_FALSE(s.autoTest);
  EXPECT_FALSE(s.adminRunning);
  EXPECT_FALSE(s.serviceProcessing);
  EXPECT_EQ(s.outputPath, t.outputFolder().string());
  EXPECT_EQ(t->handledErrorCount, 0);
}

TEST(ApplicationParameters, KeysMatchIgnoringCaseButNotExtraCharacters) {
  EXPECT_EQ(determineApplicationParameter("defaultoutputpath"), 2);
  EXPECT_EQ(determineApplicationParameter("ServiceProcessing"), 12);
  EXPECT_EQ(determineApplicationParameter("DEFAULT OUTPUTPATH"), 0);
  EXPECT_EQ(determineApplicationParameter("DEFAULT_OUTPUTPATH"), 0);
  EXPECT_EQ(determineApplicationParameter(""), 0);

  test::TestProgram t;
  t->db.exec(
      "update applicationparameters set property = 'warningthreshold', value = '9' where property = "
      "'WARNINGTHRESHOLD'");
  getApplicationParameter(*t);
  EXPECT_EQ(t->settings.warningThreshold, 9);
}

TEST(ApplicationParameters, EmptyFoldersTakeTheDefaultsAndAreWrittenBack) {
  test::TestProgram t;
  setRow(t, "DEFAULTOUTPUTPATH", "");
  setRow(t, "DEFAULTMVLOGPATH", "");
  fs::remove_all(t.outputFolder());
  getApplicationParameter(*t);
  EXPECT_EQ(t->settings.outputPath, (t.folder() / "output").string());
  EXPECT_TRUE(fs::is_directory(t.folder() / "output"));
  // No gateway trace folder on this machine: the program folder is used.
  EXPECT_EQ(t->settings.logPath, t.folder().string());
  EXPECT_EQ(t.rows("select value from applicationparameters where property = 'DEFAULTOUTPUTPATH'"),
            std::vector<std::string>{(t.folder() / "output").string()});
  EXPECT_EQ(t.rows("select value from applicationparameters where property = 'DEFAULTMVLOGPATH'"),
            std::vector<std::string>{t.folder().string()});

  fs::create_directories(t->defaultTraceFolder);
  setRow(t, "DEFAULTMVLOGPATH", "");
  getApplicationParameter(*t);
  EXPECT_EQ(t->settings.logPath, t->defaultTraceFolder.string());
}

TEST(ApplicationParameters, AValueThatDoesNotConvertIsOneHandledErrorAndKeepsTheOldValue) {
  test::TestProgram t;
  setRow(t, "DATARETENTIONINHOURS", "abc");
  setRow(t, "ERRORTHRESHOLD", "7");
  getApplicationParameter(*t);
  EXPECT_EQ(t->settings.dataRetentionHours, 72);
  EXPECT_EQ(t->settings.errorThreshold, 7);
  EXPECT_EQ(t->handledErrorCount, 1);
  ASSERT_EQ(t.host.boxes.size(), 0u);  // the service shows no boxes
}

TEST(ApplicationParameters, ConsoleShowsTheErrorReportLine) {
  test::TestProgram t(false);
  setRow(t, "DATARETENTIONINHOURS", "abc");
  getApplicationParameter(*t);
  ASSERT_EQ(t.host.boxes.size(), 1u);
  EXPECT_NE(t.host.boxes[0].text.find("13 (DATARETENTIONINHOURS \"abc\" is not a number; the value 72 is kept)"),
            std::string::npos);
}

TEST(ApplicationParameters, NumbersRoundHalfToEvenAndBooleansAcceptWordsAndNumbers) {
  EXPECT_EQ(toWholeNumber("2.5"), 2);
  EXPECT_EQ(toWholeNumber("3.5"), 4);
  EXPECT_EQ(toWholeNumber(" 12 "), 12);
  EXPECT_EQ(toWholeNumber("-1.5"), -2);
  EXPECT_EQ(toWholeNumber(""), std::nullopt);
  EXPECT_EQ(toWholeNumber("12abc"), std::nullopt);
  EXPECT_EQ(toWholeNumber("99999999999"), std::nullopt);
  EXPECT_EQ(toBoolean("true"), true);
  EXPECT_EQ(toBoolean("FALSE"), false);
  EXPECT_EQ(toBoolean("0"), false);
  EXPECT_EQ(toBoolean("1"), true);
  EXPECT_EQ(toBoolean("-3"), true);
  EXPECT_EQ(toBoolean("yes"), std::nullopt);
}

TEST(ApplicationParameters, SetWritesEveryRowOfTheKeyAndReloads) {
  test::TestProgram t;
  t->db.exec("insert into applicationparameters values ('autotest', 'False')");
  setApplicationParameter(*t, 10, "True");
  EXPECT_TRUE(t->settings.autoTest);
  EXPECT_EQ(t.rows("select value from applicationparameters where upper(property) = 'AUTOTEST'"),
            (std::vector<std::string>{"True", "True"}));
  // An index that matches no row changes nothing but still reloads.
  setRow(t, "WARNINGTHRESHOLD", "8");
  setApplicationParameter(*t, 13, "x");
  EXPECT_EQ(t->settings.warningThreshold, 8);
}

TEST(ApplicationParameters, TheLogFolderMustHoldAFileBeginningMvlogDot) {
  test::TestProgram t(false);
  EXPECT_FALSE(validateLogPath(*t));
  ASSERT_EQ(t.host.boxes.size(), 1u);
  EXPECT_EQ(t.host.boxes[0].title, "Enter Valid Log Path");
  EXPECT_EQ(t.host.boxes[0].text, t.traceFolder().string() +
                                      " exists but does not contain valid log files.  Please configure a valid path "
                                      "for the log files.");
  test::writeFile(t.traceFolder() / "MVLOG", "x");
  test::writeFile(t.traceFolder() / "xMVLOG.001", "x");
  EXPECT_FALSE(validateLogPath(*t));
  test::writeFile(t.traceFolder() / "mvlog.001", "x");
  EXPECT_TRUE(validateLogPath(*t));

  t->settings.logPath = (t.folder() / "missing").string();
  EXPECT_FALSE(validateLogPath(*t));
  EXPECT_EQ(t->statusMessage,
            (t.folder() / "missing").string() + " does not exist.  Please configure a valid path for the log files.");
}

TEST(ApplicationParameters, ASubFolderNamedLikeATraceFileDoesNotMakeALogFolder) {
  test::TestProgram t(false);
  fs::create_directory(t.traceFolder() / "MVLOG.001");
  fs::create_directory(t.traceFolder() / "mvlog.002");
  EXPECT_FALSE(validateLogPath(*t));
  EXPECT_EQ(t.host.boxes.size(), 1u);
  test::writeFile(t.traceFolder() / "MVLOG.003", "x");
  EXPECT_TRUE(validateLogPath(*t));
}

TEST(ApplicationParameters, TheServiceLogsABadLogFolderAndWritesNoEvent) {
  test::TestProgram service(true);
  std::vector<std::string> standardError;
  service->standardError = [&](std::string_view line) { standardError.emplace_back(line); };
  service.openLog();
  EXPECT_FALSE(validateLogPath(*service));
  const std::string fifo = (service.folder() / "fifo").string(), missing = (service.folder() / "missing").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, missing, missing, service.traceFolder().string()}) {
    service->settings.logPath = path;
    validateLogPath(*service);
  }
  flushActivityLog(*service);
  // Each unusable folder once, then the recovery.
  const std::string configure = ".  Please configure a valid path for the log files.";
  EXPECT_EQ(standardError,
            (std::vector<std::string>{fifo + " exists but is not a folder" + configure,
                                      missing + " does not exist" + configure,
                                      "The trace folder " + service->settings.logPath + " can be used again."}));

  EXPECT_TRUE(service.events.entries.empty());
  EXPECT_TRUE(service.host.boxes.empty());
  const std::string log = test::readFile(service->activityLog.fileName);
  EXPECT_NE(log.find(service.traceFolder().string() + " exists but does not contain valid log files.  Please "
                                                      "configure a valid path for the log files.\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find(missing + " does not exist" + configure), std::string::npos) << log;
}

TEST(ApplicationParameters, AMissingOutputFolderIsABoxInTheConsoleAndEvent17InTheService) {
  test::TestProgram console(false);
  console->settings.outputPath = (console.folder() / "gone").string();
  EXPECT_FALSE(validateOutputPath(*console));
  ASSERT_EQ(console.host.boxes.size(), 1u);
  EXPECT_EQ(console.host.boxes[0].title, "Configure Valid Output Folder");
  EXPECT_TRUE(console.events.entries.empty());

  test::TestProgram service(true);
  service->settings.outputPath = (service.folder() / "gone").string();
  EXPECT_FALSE(validateOutputPath(*service));
  EXPECT_TRUE(service.host.boxes.empty());
  ASSERT_EQ(service.events.entries.size(), 1u);
  EXPECT_EQ(service.events.entries[0].eventId, 17);
  EXPECT_EQ(service->statusMessage,
            (service.folder() / "gone").string() + " does not exist.  Please select a valid folder for output files.");
}

// A program started anew on the folder of `t`, as the next start of the
// service or the console would be: nothing loaded yet.
class Restarted {
 public:
  Restarted(test::TestProgram& t, bool service)
      : program(t.folder(), service ? "TRAVIKservice" : "TRAVIKadmin", service, t.host, t.events) {
    program.exitProcess = [](int code) { throw ProgramEnded{code}; };
    program.databaseBusyTimeoutMs = 200;
    program.defaultTraceFolder = t.folder() / "no-gateway-log";
    program.db.open(program.databasePath().string(), program.databaseBusyTimeoutMs);
  }
  Program program;
};

TEST(ApplicationParameters, OnlyDecimalTextIsANumber) {
  for (const char* text : {"nan", "NaN", "inf", "-inf", "infinity", "0x10", "1e3", "1E3", "", ".", "-", "+", "1,000",
                           "1.2.3", "12 3", "2147483647.5", "-2147483649", "99999999999999999999999999999"})
    EXPECT_EQ(toWholeNumber(text), std::nullopt) << text;
  EXPECT_EQ(toWholeNumber("+7"), 7);
  EXPECT_EQ(toWholeNumber("5."), 5);
  EXPECT_EQ(toWholeNumber(".5"), 0);
  EXPECT_EQ(toWholeNumber("0.0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
                          "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
                          "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
                          "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000001"),
            0);
  EXPECT_EQ(toWholeNumber("-2147483648"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(toWholeNumber("2147483647.4"), std::numeric_limits<std::int32_t>::max());
  for (const char* text : {"nan", "inf", "0x10", "1e3", "on", ""}) EXPECT_EQ(toBoolean(text), std::nullopt) << text;
  EXPECT_EQ(toBoolean(" -0 "), false);
  EXPECT_EQ(toBoolean("0.0"), false);
  EXPECT_EQ(toBoolean("0.4"), true);
  EXPECT_EQ(toBoolean(" True "), true);
}

TEST(SettingsAtStart, AnUnusableNumberTakesItsDeliveredValueReportedOnce) {
  test::TestProgram t(false);
  setRow(t, "DATARETENTIONINHOURS", "abc");
  setRow(t, "PROCESSINTERVALINSECONDS", "0");
  setRow(t, "WARNINGTHRESHOLD", "-24");
  setRow(t, "ERRORTHRESHOLD", "-2147483648");
  setRow(t, "ERRORINTERVALINHOURS", "2147483648");
  t->db.exec("update applicationparameters set value = null where property = 'TESTCALLINTERVALINMINUTES'");
  Restarted console(t, false);
  Program& p = console.program;
  getApplicationParameter(p);
  const Settings& s = p.settings;
  expectDeliveredNumbers(s);
  EXPECT_EQ(p.handledErrorCount, 6);
  ASSERT_EQ(t.host.boxes.size(), 6u);
  EXPECT_EQ(t.host.boxes[0].text,
            "(error):13 (DATARETENTIONINHOURS \"abc\" is not a number; the delivered value 72 is used) in procedure "
            "getApplicationParameter");
  EXPECT_EQ(t.host.boxes[1].text,
            "(error):5 (PROCESSINTERVALINSECONDS \"0\" is below 1; the delivered value 3600 is used) in procedure "
            "getApplicationParameter");
  EXPECT_NE(t.host.boxes[3].text.find("ERRORTHRESHOLD \"-2147483648\" is below 1"), std::string::npos);
  EXPECT_NE(t.host.boxes[4].text.find("(ERRORINTERVALINHOURS \"2147483648\" is out of range"), std::string::npos);
  EXPECT_NE(t.host.boxes[5].text.find("(TESTCALLINTERVALINMINUTES is Null; the delivered"), std::string::npos);

  // Reloads that find the same rows stay silent.
  getApplicationParameter(p);
  getApplicationParameter(p);
  EXPECT_EQ(p.handledErrorCount, 6);

  // Later, a bad value keeps the value in use.
  setRow(t, "DATARETENTIONINHOURS", "0");
  getApplicationParameter(p);
  EXPECT_EQ(s.dataRetentionHours, 72);
  EXPECT_EQ(p.handledErrorCount, 7);
  EXPECT_EQ(t.host.boxes.back().text,
            "(error):5 (DATARETENTIONINHOURS \"0\" is below 1; the value 72 is kept) in procedure "
            "getApplicationParameter");

  // Values of 1 and more are kept whatever their size.
  setRow(t, "DATARETENTIONINHOURS", "43800");
  setRow(t, "PROCESSINTERVALINSECONDS", "1");
  getApplicationParameter(p);
  EXPECT_EQ(s.dataRetentionHours, 43800);
  EXPECT_EQ(s.processIntervalSeconds, 1);
  EXPECT_EQ(p.handledErrorCount, 7);

  // A value that recovered and goes bad again is reported again.
  t->db.exec("update applicationparameters set value = null where property = 'DATARETENTIONINHOURS'");
  getApplicationParameter(p);
  EXPECT_EQ(s.dataRetentionHours, 43800);
  EXPECT_EQ(p.handledErrorCount, 8);
  EXPECT_EQ(t.host.boxes.back().text,
            "(error):94 (DATARETENTIONINHOURS is Null; the value 43800 is kept) in procedure getApplicationParameter");
}

// The delivered rows of the schema and the values the code falls back on are
// the same numbers: a table without its rows loads what a new database holds.
TEST(SettingsAtStart, TheDeliveredRowsAndTheFallbackValuesAgree) {
  test::TestProgram t(false);
  Restarted delivered(t, false);
  getApplicationParameter(delivered.program);
  t->db.exec("delete from applicationparameters");
  Restarted empty(t, false);
  getApplicationParameter(empty.program);
  const Settings& a = delivered.program.settings;
  const Settings& b = empty.program.settings;
  EXPECT_EQ(a.dataRetentionHours, b.dataRetentionHours);
  EXPECT_EQ(a.processIntervalSeconds, b.processIntervalSeconds);
  EXPECT_EQ(a.warningThreshold, b.warningThreshold);
  EXPECT_EQ(a.errorThreshold, b.errorThreshold);
  EXPECT_EQ(a.errorIntervalHours, b.errorIntervalHours);
  EXPECT_EQ(a.testCallIntervalMinutes, b.testCallIntervalMinutes);
  EXPECT_EQ(delivered.program.handledErrorCount, 0);
  EXPECT_EQ(empty.program.handledErrorCount, 6);  // each key without its row is named once
}

TEST(SettingsAtStart, ABooleanThatDoesNotConvertIsReportedOnceAndKeepsFalse) {
  test::TestProgram t;
  setRow(t, "AUTOTEST", "nan");
  Restarted service(t, true);
  getApplicationParameter(service.program);
  getApplicationParameter(service.program);
  EXPECT_FALSE(service.program.settings.autoTest);
  EXPECT_EQ(service.program.handledErrorCount, 1);
  // The report names the key and the text, as the numbers' reports do.
  const auto& held = service.program.activityLog.heldLines;
  EXPECT_TRUE(std::any_of(held.begin(), held.end(), [](const std::string& line) {
    return line.find(
               "(error):13 (AUTOTEST \"nan\" is not True or False; the value is kept) in procedure "
               "getApplicationParameter") != std::string::npos;
  })) << (held.empty() ? "" : held.back());
  setRow(t, "AUTOTEST", "0x10");
  getApplicationParameter(service.program);
  EXPECT_FALSE(service.program.settings.autoTest);
  EXPECT_EQ(service.program.handledErrorCount, 2);
}

TEST(SettingsAtStart, TheServiceLogsItsStartUpReportAfterTheLogHeader) {
  test::TestProgram t;
  setRow(t, "DATARETENTIONINHOURS", "-24");
  Restarted service(t, true);
  getApplicationParameter(service.program);
  openActivityLog(service.program, GenerateNewLogFileName(service.program));
  flushActivityLog(service.program);
  const std::string log = test::readFile(service.program.activityLog.fileName);
  const auto header = log.find("TRAVIK Service activity");
  const auto report = log.find("(error):5 (DATARETENTIONINHOURS \"-24\" is below 1; the delivered value 72 is used)");
  ASSERT_NE(report, std::string::npos) << log;
  EXPECT_LT(header, report);
}

// Events and calls outlive an unusable retention, named at each run, until a usable one is stored.
TEST(SettingsAtStart, AnUnusableRetentionRemovesNothing) {
  test::TestProgram t;
  test::LineTrace(*t, 1, t.host.clock.addHours(-100)).events({"Call Received.", "Received BD"});
  for (const char* text : {"abc", "0", "-5", "1e9", "-2147483648"}) {
    SCOPED_TRACE(text);
    setRow(t, "DATARETENTIONINHOURS", text);
    Restarted service(t, true);
    std::string said;
    service.program.standardError = [&](std::string_view line) { said += line; };
    getApplicationParameter(service.program);
    processLogs(service.program);
    EXPECT_EQ(t.rows("select count(*) from Events union all select count(*) from calls"), (Texts{"2", "1"}));
    EXPECT_NE(said.find("DATARETENTIONINHOURS \"" + std::string(text) + "\" is not a whole number"), std::string::npos);
  }
  Restarted service(t, true);
  getApplicationParameter(service.program);
  setApplicationParameter(service.program, parameter::kDataRetentionInHours, "72");
  processLogs(service.program);
  EXPECT_EQ(t.rows("select count(*) from Events union all select count(*) from calls"), (Texts{"0", "0"}));
}

}  // namespace
}  // namespace travik
