// The real program TRAVIKadmin ended by a signal, as a logout or a dropped X
// session ends it: it ends as through its exit menu, and its marks do not
// outlive it.
#include <gtest/gtest.h>

#include "processing/runtime/exit_status.h"
#include "tests/service/service_folder.h"

namespace travik {
namespace {

using namespace test;
namespace fs = std::filesystem;

// Answers the console's questions about services: the gateway's service
// runs, so the console starts without asking.
constexpr const char* kStandInSystemctl = R"sh(#!/bin/sh
[ "$1" = show ] || exit 1
echo LoadState=loaded
echo ActiveState=active
)sh";

TEST(ConsoleProgram, SigtermSighupAndSigintEndTheConsoleAsItsExitMenuDoes) {
  for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(strsignal(signal));
    ServiceFolder folder;
    const fs::path built = fs::path(TRAVIK_BINARY_DIR) / "bin" / "TRAVIKadmin";
    ASSERT_TRUE(fs::exists(built)) << "build TRAVIKadmin first";
    fs::copy_file(built, folder.program() / "TRAVIKadmin");
    // The gateway traces verbosely already: no box about raising it waits at the start.
    folder.gateway.db().exec("update systemparameters set propvalue = '4' where propname = 'CALL_TRACING_LEVEL'");
    const fs::path bin = folder.temp.path() / "bin";
    fs::create_directories(bin);
    writeFile(bin / "systemctl", kStandInSystemctl);
    fs::permissions(bin / "systemctl", fs::perms::owner_all, fs::perm_options::add);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    ::setenv("PATH", (bin.string() + ":" + path).c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const fs::path output = folder.temp.path() / "console.txt";
    Reaper console{spawn({(folder.program() / "TRAVIKadmin").string()}, output)};
    ::setenv("PATH", path.c_str(), 1);
    ASSERT_GT(console.pid, 0);

    const fs::path flag =
        folder.program() / "registry" / "HKEY_LOCAL_MACHINE" / "Software" / "TravikAdmin" / "TravikAdminIsRunning";
    const auto started = Clock::now();
    while (!(folder.parameter("ADMINRUNNING") == "True" && fs::exists(flag)) && Clock::now() - started < 60s)
      std::this_thread::sleep_for(100ms);
    ASSERT_EQ(folder.parameter("ADMINRUNNING"), "True") << readFile(output);
    std::this_thread::sleep_for(300ms);

    ASSERT_EQ(::kill(console.pid, signal), 0);
    const auto status = waitForExit(console.pid, 30s);
    ASSERT_TRUE(status) << "still running: " << readFile(output);
    console.pid = -1;
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == exit_status::kOrderly)
        << "status " << *status << readFile(output);
    EXPECT_EQ(folder.parameter("ADMINRUNNING"), "False");
    // The registry value is a small text file: its type, then its data.
    EXPECT_NE(readFile(flag).find("\n0"), std::string::npos) << readFile(flag);
  }
}

}  // namespace
}  // namespace travik
