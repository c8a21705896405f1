// The three built programs and the tools asked --help, --version and
// something they do not know, as real processes in a scratch program folder
// with no display: the answer and exit status, and nothing touched (every
// file's checksum, the lock folder, the service manager).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "tests/support/child_process.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ProgramArguments : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path built = fs::path(TRAVIK_BINARY_DIR) / "bin";
    fs::create_directories(folder());
    for (const auto& entry : fs::directory_iterator(built)) {
      const std::string name = entry.path().filename().string();
      if (entry.is_regular_file() && name.rfind("vrndata.mdb", 0) != 0)
        fs::copy_file(entry.path(), folder() / name, fs::copy_options::copy_symlinks);
    }
    if (fs::exists(built / ".." / "tools" / "make_database")) {
      fs::copy_file(built / ".." / "tools" / "make_database", folder() / "make_database");
      fs::copy_file(fs::path(TRAVIK_SOURCE_DIR) / "data" / "schema.sql", folder() / "schema.sql");
    }
    // What an installed folder holds besides the files: the database, the
    // output with a report and a log, the console's registry key.
    test::createDeliveredDatabase(folder() / "vrndata.mdb");
    fs::create_directories(folder() / "output" / "logs");
    test::writeFile(folder() / "output" / "TRAVIK-REPORT.AllCalls.01012024.000000.csv", "a,b\r\n");
    test::writeFile(folder() / "output" / "logs" / "TRAVIKservice_240101_00_00_00.log", "x\r\n");
    fs::create_directories(folder() / "registry" / "HKEY_LOCAL_MACHINE" / "Software" / "TravikAdmin");
    test::writeFile(folder() / "registry" / "HKEY_LOCAL_MACHINE" / "Software" / "TravikAdmin" / "TravikAdminIsRunning",
                    "REG_DWORD\n0\n");
    // A service manager that reports an installed, running service and
    // notes every question put to it.
    fs::create_directories(temp.path() / "bin");
    test::writeFile(temp.path() / "bin" / "systemctl", "#!/bin/sh\necho \"$@\" >> '" +
                                                           (temp.path() / "systemctl-asked").string() +
                                                           "'\nprintf 'LoadState=loaded\\nActiveState=active\\n'\n");
    fs::permissions(temp.path() / "bin" / "systemctl", fs::perms::owner_all, fs::perm_options::add);
    fs::create_directories(locks());
  }

  fs::path folder() const { return temp.path() / "program"; }
  fs::path locks() const { return temp.path() / "locks"; }

  struct Run {
    test::ChildEnd end;
    std::string out;
    std::string err;
  };
  Run run(const std::string& program, const std::vector<std::string>& words,
          std::optional<std::string> display = std::nullopt) {
    test::ChildProcess process;
    process.arguments = {(folder() / program).string()};
    process.arguments.insert(process.arguments.end(), words.begin(), words.end());
    const char* path = std::getenv("PATH");
    // No display of any kind.
    process.environment = {{"DISPLAY", display},
                           {"WAYLAND_DISPLAY", std::nullopt},
                           {"QT_QPA_PLATFORM", std::nullopt},
                           {"TRAVIK_LOCK_DIR", locks().string()},
                           {"PATH", (temp.path() / "bin").string() + ":" + (path ? path : "")}};
    process.standardOutput = temp.path() / "out.txt";
    process.standardError = temp.path() / "err.txt";
    process.workingFolder = folder();  // a file made of a word would show in the folder's snapshot
    Run result;
    result.end = test::runToEnd(process, 30s);
    result.out = test::readFile(process.standardOutput);
    result.err = test::readFile(process.standardError);
    return result;
  }

  test::TempFolder temp;
};

TEST_F(ProgramArguments, EachProgramAnswersHelpVersionAndUnknownArgumentsTouchingNothing) {
  struct Case {
    std::vector<std::string> words;
    int status;
  };
  const std::vector<Case> cases = {
      {{"--help"}, 0}, {{"--version"}, 0},         {{"--bogus"}, 2},
      {{"REMOVE"}, 2}, {{"-n", "st6unst.log"}, 2}, {{"--help", "now"}, 2},
  };
  // The tools, each with its own codes (INSTSRV's success is 1, net's wrong arguments 1).
  const std::map<std::string, std::vector<Case>> tools = {
      {"make_database", {{{"--help"}, 0}, {{"--version"}, 0}, {{"schema.sql", "--version"}, 2}, {{"-x", "y"}, 2}}},
      {"SRVANY", {{{"--help"}, 0}, {{"--bogus"}, 2}}},
      {"INSTSRV", {{{"--help"}, 1}, {{"--bogus", "x"}, 2}}},
      {"net", {{{"--help"}, 0}, {{"stop", "--bogus"}, 1}}},
      {"st6unst", {{{"--help"}, 0}, {{"-n", "--bogus"}, 2}}},
  };
  const auto before = test::folderSnapshot(folder());
  int programs = 0;
  for (const char* program :
       {"TRAVIKservice", "TRAVIKadmin", "TRAVIKuninstall", "make_database", "SRVANY", "INSTSRV", "net", "st6unst"}) {
    if (!fs::exists(folder() / program)) continue;
    programs += !tools.count(program);
    std::vector<Case> all = tools.count(program) ? tools.at(program) : cases;
    if (!tools.count(program) && std::string(program) != "TRAVIKservice") {
      // Qt's own options are still taken, and the answer still needs no display.
      all.push_back({{"-platform", "offscreen", "--version"}, 0});
      all.push_back({{"-display", ":99", "--help"}, 0});
    }
    for (const Case& c : all) {
      const std::string what = std::string(program) + " " + c.words.front();
      const Run result = run(program, c.words);
      ASSERT_TRUE(result.end.ended) << what << " still running after 30 s";
      EXPECT_EQ(result.end.exitCode, c.status) << what << " signal " << result.end.signal << "\n" << result.err;
      if (c.status == (program == std::string("INSTSRV"))) {
        EXPECT_EQ(result.err, "") << what;
        if (c.words.back() == "--version")
          EXPECT_EQ(result.out, std::string(program) + " " + platform::programVersion() + "\n") << what;
        else
          EXPECT_EQ(result.out.rfind(std::string("Usage: ") + program, 0), 0u) << what << "\n" << result.out;
      } else {
        EXPECT_EQ(result.out, "") << what;
        EXPECT_NE(result.err.find(std::string("Usage: ") + program), std::string::npos) << what << "\n" << result.err;
      }
      EXPECT_EQ(test::folderSnapshot(folder()), before) << what << " changed the program folder";
      EXPECT_TRUE(fs::is_empty(locks())) << what << " took a lock";
      EXPECT_FALSE(fs::exists(temp.path() / "systemctl-asked")) << what << " asked the service manager";
    }
  }
  if (programs < 3) GTEST_SKIP() << "only " << programs << " of the three programs are built";
}

TEST_F(ProgramArguments, QtProgramsWithoutADisplayEndWithOneLineAndTheirOwnStatus) {
  const auto before = test::folderSnapshot(folder());
  for (const char* program : {"TRAVIKadmin", "TRAVIKuninstall"})
    for (const auto& display : {std::optional<std::string>(), std::optional<std::string>(":9999")}) {
      if (!fs::exists(folder() / program)) GTEST_SKIP() << program << " is not built";
      const Run result = run(program, {}, display);
      EXPECT_EQ(result.end.exitCode, 8) << program << " signal " << result.end.signal << "\n" << result.err;
      EXPECT_EQ(result.err.rfind(std::string(program) + ": no display", 0), 0u) << result.err;
      EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
      EXPECT_EQ(test::folderSnapshot(folder()), before) << program;
    }
}

}  // namespace
}  // namespace travik
