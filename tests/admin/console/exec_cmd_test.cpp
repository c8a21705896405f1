// The command runner and the service-state query as the console uses them.
#include "admin/console/exec_cmd.h"

#include "admin/console/service_api.h"
#include "tests/admin/console_fixture.h"

namespace travik {
namespace {

namespace fs = std::filesystem;

class CommandRunnerTest : public test::ConsoleFixture {
 protected:
  CommandRunnerTest() {
    // The real runner, finding the program folder's tools first.
    console->platform.runCommand = ConsolePlatform::system().runCommand;
    test::writeFile(test.folder() / "TOOL", "#!/bin/sh\nexit \"$1\"\n");
    fs::permissions(test.folder() / "TOOL", fs::perms::owner_all, fs::perm_options::add);
  }
};

TEST_F(CommandRunnerTest, ReturnsTheExitCodeOfAToolInTheProgramFolder) {
  EXPECT_EQ(ExecCmd(*console, "TOOL 0"), 0);
  EXPECT_EQ(ExecCmd(*console, "TOOL 1"), 1);
  EXPECT_EQ(ExecCmd(*console, "TOOL 5"), 5);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(CommandRunnerTest, AProgramThatDoesNotExistReturnsMinusOneAndShowsNothing) {
  EXPECT_EQ(ExecCmd(*console, "travik-no-such-program-anywhere start"), -1);
  EXPECT_EQ(ExecCmd(*console, ""), -1);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(program().handledErrorCount, 0);
}

TEST_F(CommandRunnerTest, AFailingRunnerIsAHandledErrorAndReadsAsMinusOne) {
  connect();
  console->platform.runCommand = [](std::string_view, const fs::path&) -> int { throw std::runtime_error("boom"); };
  EXPECT_EQ(ExecCmd(*console, "TOOL 0"), -1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("in procedure ExecCmd()"), std::string::npos);
  EXPECT_EQ(program().handledErrorCount, 1);
}

TEST_F(CommandRunnerTest, ServiceStatesOutsideTheKnownOnesAndOtherMachinesReadAsNotInstalled) {
  serviceStates = {{"a", 4}, {"b", 0}, {"c", 8}, {"d", 7}};
  EXPECT_EQ(getServiceState(*console, "", "a"), 4);
  EXPECT_EQ(getServiceState(*console, "", "b"), -1);
  EXPECT_EQ(getServiceState(*console, "", "c"), -1);
  EXPECT_EQ(getServiceState(*console, "", "d"), 7);
  EXPECT_EQ(getServiceState(*console, "", "missing"), -1);
  EXPECT_EQ(getServiceState(*console, "elsewhere", "a"), -1);
}

}  // namespace
}  // namespace travik
