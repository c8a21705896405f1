#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/process_runner.h"
#include "platform/service_manager.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;

TEST(ProcessRunner, ExitCodesAndAMissingProgram) {
  test::TempFolder folder;
  test::writeFile(folder.path() / "tool", "#!/bin/sh\nexit \"$1\"\n");
  fs::permissions(folder.path() / "tool", fs::perms::owner_all);
  EXPECT_EQ(platform::runCommand("tool 0", folder.path()), 0);
  EXPECT_EQ(platform::runCommand("tool 1", folder.path()), 1);
  EXPECT_EQ(platform::runCommand("no-such-program-anywhere 1", folder.path()), -1);
  EXPECT_EQ(platform::runCommand("", folder.path()), -1);
  EXPECT_EQ(platform::splitCommandLine("INSTSRV TRAVIKservice.exe \"/opt/my folder/SRVANY\""),
            (std::vector<std::string>{"INSTSRV", "TRAVIKservice.exe", "/opt/my folder/SRVANY"}));
}

TEST(ServiceManager, UnitNamesAndStatesFromSystemctl) {
  EXPECT_EQ(platform::unitNameForService("TRAVIKservice.exe"), "travikservice.service");
  EXPECT_EQ(platform::unitNameForService("Varnel"), "varnel.service");
  EXPECT_EQ(platform::serviceStateFromSystemctl("LoadState=loaded\nActiveState=active\n"), 4);
  EXPECT_EQ(platform::serviceStateFromSystemctl("LoadState=loaded\nActiveState=inactive\n"), 1);
  EXPECT_EQ(platform::serviceStateFromSystemctl("LoadState=loaded\nActiveState=failed\n"), 1);
  EXPECT_EQ(platform::serviceStateFromSystemctl("LoadState=loaded\nActiveState=activating\n"), 2);
  EXPECT_EQ(platform::serviceStateFromSystemctl("LoadState=not-found\nActiveState=inactive\n"), -1);
  EXPECT_EQ(platform::serviceStateFromSystemctl(""), -1);
}

TEST(ServiceManager, AStandInSystemctlOnThePathIsAsked) {
  test::TempFolder folder;
  test::writeFile(
      folder.path() / "systemctl",
      "#!/bin/sh\n[ \"$6\" = varnel.service ] && printf 'LoadState=loaded\\nActiveState=active\\n' && exit 0\n"
      "printf 'LoadState=not-found\\nActiveState=inactive\\n'\n");
  fs::permissions(folder.path() / "systemctl", fs::perms::owner_all);
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  ::setenv("PATH", (folder.path().string() + ":" + oldPath).c_str(), 1);
  EXPECT_EQ(platform::queryServiceState("Varnel"), 4);
  EXPECT_EQ(platform::queryServiceState("travikservice.exe"), -1);
  ::setenv("PATH", oldPath.c_str(), 1);
}

}  // namespace
}  // namespace travik
