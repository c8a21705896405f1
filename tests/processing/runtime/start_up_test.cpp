#include "processing/runtime/start_up.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "processing/run/program_start.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/console_interlock.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/registry_api.h"
#include "processing/text/printable_text.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;

// A program over a fresh folder that has not been started yet.
struct Unstarted {
  explicit Unstarted(bool service) : t(service) {
    t->db.close();
    t->gatewayNotInstalled = true;
  }
  test::TestProgram t;
};

TEST(StartUp, TheServiceWritesEvent1AtStartAndEvent2AtExit) {
  Unstarted u(true);
  main(*u.t);
  ASSERT_FALSE(u.t.events.entries.empty());
  EXPECT_EQ(u.t.events.registered, "TRAVIK Service");
  EXPECT_EQ(u.t.events.entries.front().eventId, 1);
  EXPECT_TRUE(u.t->db.isOpen());
  EXPECT_FALSE(u.t->activityLog.fileName.empty());
  setApplicationParameter(*u.t, 12, "True");
  EXPECT_THROW(shutDownApplication(*u.t, exit_status::kOrderly), ProgramEnded);
  EXPECT_EQ(u.t.events.entries.back().eventId, 2);
  EXPECT_TRUE(u.t.events.released);
  u.t.connect();
  EXPECT_FALSE(u.t->settings.serviceProcessing);
}

TEST(StartUp, TheConsoleWritesNoServiceEventsAndItsExitClearsBothFlags) {
  Unstarted u(false);
  main(*u.t);
  EXPECT_EQ(u.t.events.registered, "TRAVIK Admin");
  EXPECT_TRUE(u.t.events.entries.empty());
  setApplicationParameter(*u.t, 11, "True");
  setAdminIsRunningFlag(*u.t, true);
  u.t->closeSharedRecordsets = [] { throw std::runtime_error("closing failed"); };
  EXPECT_THROW(shutDownApplication(*u.t, exit_status::kOrderly), ProgramEnded);
  EXPECT_TRUE(u.t.events.entries.empty());
  EXPECT_FALSE(getAdminIsRunningFlag(*u.t));
  u.t.connect();
  EXPECT_FALSE(u.t->settings.adminRunning);
}

TEST(StartUp, AMissingDatabaseEndsTheProgramWithEvent19) {
  Unstarted console(false);
  fs::remove(console.t->databasePath());
  EXPECT_THROW(main(*console.t), ProgramEnded);
  ASSERT_EQ(console.t.host.boxes.size(), 1u);
  EXPECT_EQ(console.t.host.boxes[0].text, "Could not find the TRAVIK database (vrndata.mdb)");
  EXPECT_EQ(console.t.host.boxes[0].title, "Database not found");
  ASSERT_EQ(console.t.events.entries.size(), 1u);
  EXPECT_EQ(console.t.events.entries[0].eventId, 19);
  EXPECT_FALSE(console.t->db.isOpen());

  Unstarted service(true);
  fs::remove(service.t->databasePath());
  EXPECT_THROW(main(*service.t), ProgramEnded);
  EXPECT_TRUE(service.t.host.boxes.empty());
  ASSERT_GE(service.t.events.entries.size(), 2u);
  EXPECT_EQ(service.t.events.entries[1].eventId, 19);
}

// Others' access is only said, once, naming each file and mode (the -wal made takes the database's).
TEST(StartUp, AReadOnlyDatabaseIsMadeWritableAndAccessForOthersOnlySaid) {
  Unstarted u(true);
  const std::string database = u.t->databasePath().string();
  fs::permissions(database, static_cast<fs::perms>(0444), fs::perm_options::replace);
  std::vector<std::string> said;
  u.t->standardError = [&](std::string_view line) { said.emplace_back(line); };
  main(*u.t);
  EXPECT_EQ(fs::status(database).permissions(), static_cast<fs::perms>(0644));
  EXPECT_EQ(u.t->handledErrorCount, 0);
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].find(database + " has mode 0644, " + database + "-wal has mode 0644"), std::string::npos);
  EXPECT_EQ(u.t.events.entries.at(1).text, said[0]);
}

TEST(HandledErrors, The51stErrorEndsTheProgramAfterBoxEvent18AndLogLine) {
  test::TestProgram t(false);
  t.openLog();
  for (int i = 0; i < 50; ++i) countHandledError(*t);
  EXPECT_EQ(t->handledErrorCount, 50);
  EXPECT_TRUE(t.host.boxes.empty());
  EXPECT_THROW(countHandledError(*t), ProgramEnded);
  ASSERT_EQ(t.host.boxes.size(), 1u);
  EXPECT_EQ(t.host.boxes[0].text,
            "Exceeded maximum number of handled errors.  Application exiting.  Please restart the application.");
  ASSERT_EQ(t.events.entries.size(), 1u);
  EXPECT_EQ(t.events.entries[0].eventId, 18);
  const std::string log = test::readFile(t->activityLog.fileName);
  EXPECT_NE(log.find(": Exceeded maximum number of handled errors."), std::string::npos);
}

// /dev/full fails every write with ENOSPC, as a full output disk does.
TEST(HandledErrors, WithTheLogOnAFullDiskTheLimitEndsTheProgramOnceAndInOrder) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this machine";
  test::TestProgram t(true);
  t.openLog();
  // The log keeps its name (its date is read from it); its writes reach a full disk.
  t->activityLog.file.close();
  t->activityLog.file.open("/dev/full", std::ios::binary | std::ios::app);
  ASSERT_TRUE(t->activityLog.file.is_open());
  int exits = 0;
  t->exitProcess = [&](int code) {
    ++exits;
    throw ProgramEnded{code};
  };
  // More than the stream buffers, so the failure shows at once.
  writeLog(*t, std::string(64 * 1024, 'x'), false);
  EXPECT_EQ(t->handledErrorCount, 1);
  // Every later error's log line fails too and is counted as well; the
  // limit's own line then fails in turn, which must not begin the report again.
  bool ended = false;
  for (int i = 0; i < 100 && !ended; ++i) {
    try {
      handleError(*t, HandledError(53, "File not found"), "step()");
    } catch (const ProgramEnded&) {
      ended = true;
    }
  }
  ASSERT_TRUE(ended);
  EXPECT_EQ(exits, 1);
  std::vector<int> ids;
  for (const auto& entry : t.events.entries) ids.push_back(entry.eventId);
  EXPECT_EQ(ids, (std::vector<int>{18, 2}));
  EXPECT_FALSE(t->db.isOpen());
  EXPECT_EQ(t->statusMessage,
            "Exceeded maximum number of handled errors.  Application exiting.  Please restart the application.");
}

TEST(HandledErrors, TheReportLineKeepsTheMinusSignAndTheHandlerVariantsDiffer) {
  EXPECT_EQ(errorReportLine(-2147217887, "locked", "x()"), "(error):-2147217887 (locked) in procedure x()");

  test::TestProgram t(false);
  t.openLog();
  const HandledError failure(53, "File not found");
  handleError(*t, failure, "standard()");
  handleError(*t, failure, "box()", ErrorHandler::BoxAndCount);
  handleError(*t, failure, "count()", ErrorHandler::CountOnly);
  handleError(*t, failure, "silent()", ErrorHandler::Silent);
  EXPECT_EQ(t->handledErrorCount, 3);
  ASSERT_EQ(t.host.boxes.size(), 2u);
  EXPECT_EQ(t.host.boxes[0].text, "(error):53 (File not found) in procedure standard()");
  EXPECT_EQ(t.host.boxes[0].title, "TRAVIK");
  closeActivityLog(*t);
  const std::string log = test::readFile(t->activityLog.fileName);
  EXPECT_NE(log.find("standard()"), std::string::npos);
  EXPECT_EQ(log.find("box()"), std::string::npos);
  EXPECT_EQ(log.find("count()"), std::string::npos);

  test::TestProgram service(true);
  handleError(*service, failure, "tmrTimer_Timer", ErrorHandler::ServiceTimer);
  ASSERT_EQ(service.events.entries.size(), 1u);
  EXPECT_EQ(service.events.entries[0].eventId, 4);
  EXPECT_EQ(service.events.entries[0].text, "(error):53 (File not found) in procedure tmrTimer_Timer");
}

TEST(HandledErrors, ControlCharactersFromOutsideAreShownEscapedInBoxesAndLogLines) {
  EXPECT_EQ(printableText("plain text, 100%"), "plain text, 100%");
  EXPECT_EQ(printableText("a\r\nb\tc\x01\x7f"), "a\\r\\nb\\tc\\x01\\x7F");
  EXPECT_EQ(printableText("x\xc2\x85y\xe2\x80\xa8z\xe2\x80\xa9 \xc3\xa9"), "x\\u0085y\\u2028z\\u2029 \xc3\xa9");

  test::TestProgram t(false);
  t.openLog();
  const std::string forged = "4/1/2026 1:00:00 PM: (error):53 (fake) in procedure main()";
  handleError(*t, HandledError(53, "cannot open /traces/MVLOG.1\r\n" + forged), "ProcessLogFile()");
  writeLog(*t, "Parsing MVLOG.2\n" + forged + "...", true);
  closeActivityLog(*t);
  ASSERT_EQ(t.host.boxes.size(), 1u);
  EXPECT_EQ(t.host.boxes[0].text,
            "(error):53 (cannot open /traces/MVLOG.1\\r\\n" + forged + ") in procedure ProcessLogFile()");
  const std::string log = test::readFile(t->activityLog.fileName);
  EXPECT_EQ(log.find("\n" + forged), std::string::npos) << log;
  EXPECT_NE(log.find("MVLOG.2\\n" + forged + "..."), std::string::npos) << log;
  // Our own header keeps its empty lines.
  EXPECT_NE(log.find("version 1.1.1\r\n\r\nLocal time="), std::string::npos) << log;
}

TEST(HandledErrors, AGuardedConditionThatFailsCountsAsHeld) {
  test::TestProgram t;
  bool actionRan = false;
  if (guardedCondition(*t, "p()", []() -> bool { throw HandledError(13, "Type mismatch"); })) actionRan = true;
  EXPECT_TRUE(actionRan);
  EXPECT_EQ(t->handledErrorCount, 1);
}

TEST(HandledErrors, ShutdownRunsOnceEvenWhenItsOwnStepsFail) {
  test::TestProgram t(true);
  t->handledErrorCount = 50;
  t->db.close();  // every database step of the exit now fails
  int exits = 0;
  t->exitProcess = [&](int) {
    ++exits;
    throw ProgramEnded{};
  };
  EXPECT_THROW(countHandledError(*t), ProgramEnded);
  EXPECT_EQ(exits, 1);
}

TEST(ConsoleInterlock, TheRegistryFlagAndTheIdleDeadline) {
  test::TestProgram t(false);
  EXPECT_FALSE(getAdminIsRunningFlag(*t));
  setAdminIsRunningFlag(*t, true);
  EXPECT_TRUE(regKeyExists(*t, kHkeyLocalMachine, "Software\\TravikAdmin"));
  EXPECT_TRUE(getAdminIsRunningFlag(*t));
  setAdminIsRunningFlag(*t, false);
  EXPECT_FALSE(getAdminIsRunningFlag(*t));

  t.host.clock = DateTime(2026, 5, 31, 23, 45, 0);
  resetIdleDeadline(*t);
  EXPECT_EQ(t->idleDeadline, DateTime(2026, 6, 1, 0, 15, 0));
}

TEST(Registry, ValuesOfTheThreeTypesAndTheFailureCases) {
  test::TestProgram t(false);
  const std::string key = "System\\CurrentControlSet\\Services\\TRAVIKservice.exe\\Parameters";
  platform::RegValue fallback;
  fallback.text = "default";
  EXPECT_EQ(regQueryValue(*t, kHkeyLocalMachine, key, "Application", kRegSz, fallback).text, "default");
  regCreateKey(*t, kHkeyLocalMachine, key);
  platform::RegValue text;
  text.text = "abc";
  regSetValue(*t, kHkeyLocalMachine, key, "Application", kRegSz, text);
  EXPECT_EQ(regQueryValue(*t, kHkeyLocalMachine, key, "Application", kRegSz, fallback).text, "abc");
  platform::RegValue bytes;
  bytes.bytes = {0, 1, 254, 255};
  regSetValue(*t, kHkeyLocalMachine, key, "Blob", kRegBinary, bytes);
  EXPECT_EQ(regQueryValue(*t, kHkeyLocalMachine, key, "Blob", kRegBinary, fallback).bytes, bytes.bytes);
  regSetValue(*t, kHkeyLocalMachine, key, "Other", 2, text);  // unknown type: nothing written
  EXPECT_EQ(regQueryValue(*t, kHkeyLocalMachine, key, "Other", kRegSz, fallback).text, "default");
  EXPECT_THROW(regQueryValue(*t, kHkeyLocalMachine, key, "Application", 2, fallback), HandledError);

  // A key that denies reading does not exist for its readers.
  const fs::path folder = t->registry.keyFolder(kHkeyLocalMachine, key);
  fs::permissions(folder, fs::perms::none, fs::perm_options::replace);
  if (::geteuid() != 0) {
    EXPECT_FALSE(regKeyExists(*t, kHkeyLocalMachine, key));
  }
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);

  // A key that cannot be created raises error 1001.
  test::writeFile(t->registry.keyFolder(kHkeyLocalMachine, "Blocked"), "a file in the way");
  try {
    regCreateKey(*t, kHkeyLocalMachine, "Blocked\\Sub");
    FAIL() << "created a key under a file";
  } catch (const HandledError& e) {
    EXPECT_EQ(e.number(), 1001);
    EXPECT_EQ(e.description(), "Unable to create the registry key");
  }
}

}  // namespace
}  // namespace travik

namespace travik {
namespace {

TEST(HandledErrors, TheExitKeepsRowsWrittenInAnOpenTransaction) {
  test::TestProgram t(true);
  t->db.exec("BEGIN");
  t->db.exec("insert into excludefromeventviewer values ('123')");
  EXPECT_THROW(shutDownApplication(*t, exit_status::kOrderly), ProgramEnded);
  t.connect();
  EXPECT_EQ(t.rows("select serialno from excludefromeventviewer"), std::vector<std::string>{"123"});
}

TEST(ApplicationParametersLoading, WhenAKeyHasSeveralRowsTheLastRowWins) {
  test::TestProgram t(true);
  t->db.exec("insert into applicationparameters values ('WarningThreshold', '11')");
  getApplicationParameter(*t);
  EXPECT_EQ(t->settings.warningThreshold, 11);
}

}  // namespace
}  // namespace travik
