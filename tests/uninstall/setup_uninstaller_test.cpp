// The uninstaller's last step end to end: a program folder laid down by
// cmake --install, the uninstaller's pass over it, and st6unst removing what
// the setup log lists, and nothing else.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <set>

#include "platform/instance_lock.h"
#include "platform/key_store.h"
#include "platform/process_runner.h"
#include "tests/support/lock_holder.h"
#include "tests/support/test_program.h"
#include "uninstall/uninstall_main.h"

namespace travik {
namespace {

namespace fs = std::filesystem;
using uninstall::Answer;
using uninstall::Buttons;
using uninstall::Icon;

constexpr const char* kHklm = "HKEY_LOCAL_MACHINE";

// Every entry under folder, relative to it, links as links.
std::set<std::string> entriesUnder(const fs::path& folder) {
  std::set<std::string> entries;
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it)
    entries.insert(it->path().lexically_relative(folder).string() +
                   (it->is_directory() && !it->is_symlink() ? "/" : ""));
  return entries;
}

std::set<std::string> setupLogEntries(const fs::path& log) {
  std::set<std::string> entries;
  std::ifstream in(log);
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') entries.insert(line);
  return entries;
}

// The exit code of a started process, once it has ended.
int exitCodeOf(int pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnvironment() {
    if (saved_)
      ::setenv(name_, saved_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

TEST(SetupUninstaller, AnInstalledFolderLosesExactlyWhatTheSetupLaidDown) {
  test::TempFolder temp;
  const fs::path root = temp.path() / "root";
  {
    // Staged under DESTDIR, at a prefix of its own.
    ScopedEnvironment destination("DESTDIR", root.string());
    int code = -1;
    platform::captureOutput({TRAVIK_CMAKE_COMMAND, "--install", TRAVIK_BINARY_DIR, "--prefix", "/srv/travik"}, &code);
    ASSERT_EQ(code, 0);
  }
  ASSERT_FALSE(fs::exists(root / "opt"));
  const fs::path folder = root / "srv" / "travik";
  const fs::path log = folder / "st6unst.log";
  ASSERT_TRUE(fs::is_regular_file(log));

  // The log lists exactly what was laid down, staged without a database: the
  // programs, the help page, the service tools, the setup uninstaller with
  // its log, the schema and the database's template.
  const std::set<std::string> listed = setupLogEntries(log);
  EXPECT_EQ(entriesUnder(folder), listed);
  for (const char* file : {"TRAVIKservice", "TRAVIKuninstall", "TRAVIK.htm", "INSTSRV", "SRVANY", "net", "st6unst",
                           "st6unst.log", "share/schema.sql", "share/vrndata.mdb.template"})
    EXPECT_EQ(listed.count(file), 1u) << file;
  EXPECT_EQ(listed.count("vrndata.mdb"), 0u);

  // What the system made there afterwards, and what the operator put there.
  fs::copy_file(folder / "share" / "vrndata.mdb.template", folder / "vrndata.mdb");  // a package's post-install
  test::writeFile(folder / "vrndata.mdb-wal", "");
  test::writeFile(folder / "notes.txt", "mine");
  fs::create_directories(folder / "output" / "logs");
  test::writeFile(folder / "output" / "logs" / "TRAVIKadmin.log", "x\r\n");
  test::writeFile(temp.path() / "elsewhere.txt", "keep");
  fs::create_symlink(temp.path() / "elsewhere.txt", folder / "shortcut");
  platform::KeyStore registry(folder / "registry");
  ASSERT_TRUE(registry.createKey(kHklm, "Software\\TravikAdmin\\Settings"));
  ASSERT_TRUE(registry.createKey(kHklm, "Software\\Other"));

  // No service: a systemctl that knows no unit.
  const fs::path bin = temp.path() / "bin";
  fs::create_directories(bin);
  test::writeFile(bin / "systemctl", "#!/bin/sh\nprintf 'LoadState=not-found\\nActiveState=inactive\\n'\n");
  fs::permissions(bin / "systemctl", fs::perms::owner_all, fs::perm_options::add);
  const char* path = std::getenv("PATH");
  ScopedEnvironment search("PATH", bin.string() + ":" + (path ? path : ""));

  const fs::path savedFolder = fs::current_path();
  uninstall::FrmWait frmWait;
  uninstall::Uninstaller uninstaller(folder, frmWait);
  std::vector<std::string> boxes;
  uninstaller.messageBox = [&](const std::string& text, Buttons, Icon) {
    boxes.push_back(text);
    return Answer::Ok;
  };
  uninstaller.sleep = [](int) {};
  uninstall::Main(uninstaller);
  fs::current_path(savedFolder);

  EXPECT_TRUE(boxes.empty()) << boxes.front();
  ASSERT_GT(uninstaller.setupUninstallerProcess, 0);
  EXPECT_EQ(exitCodeOf(uninstaller.setupUninstallerProcess), 0);
  EXPECT_EQ(entriesUnder(folder),
            (std::set<std::string>{"vrndata.mdb", "vrndata.mdb-wal", "notes.txt", "shortcut", "registry/",
                                   "registry/HKEY_LOCAL_MACHINE/", "registry/HKEY_LOCAL_MACHINE/Software/",
                                   "registry/HKEY_LOCAL_MACHINE/Software/Other/"}));
  EXPECT_EQ(test::readFile(temp.path() / "elsewhere.txt"), "keep");
}

class St6unst : public ::testing::Test {
 protected:
  St6unst() {
    fs::create_directories(folder());
    fs::copy_file(fs::path(TRAVIK_SOURCE_DIR) / "data" / "files" / "st6unst", folder() / "st6unst");
  }
  fs::path folder() const { return temp.path() / "program"; }
  fs::path outside() const { return temp.path() / "outside"; }
  int run(const std::string& lines) {
    test::writeFile(folder() / "st6unst.log", "# setup log\r\n" + lines);
    int code = -1;
    platform::captureOutput({(folder() / "st6unst").string(), "-n", (folder() / "st6unst.log").string()}, &code);
    return code;
  }
  test::TempFolder temp;
};

TEST_F(St6unst, RemovesTheListedEntriesAndNeverTheDatabaseNorAnythingThroughALink) {
  for (const char* file :
       {"a.txt", "sub/b.txt", "full/listed.txt", "full/unlisted.txt", "vrndata.mdb", "vrndata.mdb-shm"}) {
    fs::create_directories((folder() / file).parent_path());
    test::writeFile(folder() / file, "x");
  }
  fs::create_directories(outside() / "inner");
  test::writeFile(outside() / "inner" / "c.txt", "keep");
  test::writeFile(outside() / "d.txt", "keep");
  fs::create_directory_symlink(outside() / "inner", folder() / "linkdir");
  fs::create_symlink(outside() / "d.txt", folder() / "link.txt");

  const int code =
      run("a.txt\r\nsub/b.txt\nfull/listed.txt\nmissing.txt\nlink.txt\nlinkdir/c.txt\nvrndata.mdb\nvrndata.mdb-shm\n"
          "../outside/d.txt\n" +
          (outside() / "d.txt").string() + "\n./a.txt\nsub/\nfull/\nlinkdir/\nst6unst.log\n");
  EXPECT_EQ(code, 1);  // some entries were refused

  EXPECT_EQ(entriesUnder(folder()), (std::set<std::string>{"full/", "full/unlisted.txt", "linkdir", "st6unst",
                                                           "vrndata.mdb", "vrndata.mdb-shm"}));
  EXPECT_EQ(test::readFile(outside() / "inner" / "c.txt"), "keep");
  EXPECT_EQ(test::readFile(outside() / "d.txt"), "keep");

  // A log of plain entries only: every one gone, success.
  test::writeFile(folder() / "e.txt", "x");
  EXPECT_EQ(run("e.txt\nst6unst.log\nst6unst\n"), 0);
  EXPECT_FALSE(fs::exists(folder() / "e.txt"));
  EXPECT_FALSE(fs::exists(folder() / "st6unst"));
  EXPECT_FALSE(fs::exists(folder() / "st6unst.log"));
}

TEST_F(St6unst, WithoutItsLogItRemovesNothing) {
  int code = -1;
  platform::captureOutput({(folder() / "st6unst").string(), "-n", (folder() / "st6unst.log").string()}, &code);
  EXPECT_EQ(code, 2);
  platform::captureOutput({(folder() / "st6unst").string()}, &code);
  EXPECT_EQ(code, 2);
  EXPECT_TRUE(fs::exists(folder() / "st6unst"));
}

TEST(SetupUninstaller, AConsoleOfAnotherProcessIsSeenUntilItIsKilled) {
  test::TempFolder temp;
  uninstall::FrmWait frmWait;
  uninstall::Uninstaller uninstaller(temp.path(), frmWait);
  EXPECT_FALSE(uninstall::adminIsRunning(uninstaller));
  // The console's own lock, taken by another process.
  test::LockHolder console(platform::consoleLockFile(temp.path()));
  ASSERT_EQ(console.result(), platform::LockResult::Taken);
  EXPECT_EQ(uninstall::adminLockFile(temp.path()), platform::consoleLockFile(temp.path()));
  EXPECT_TRUE(uninstall::adminIsRunning(uninstaller));
  console.kill();
  EXPECT_FALSE(uninstall::adminIsRunning(uninstaller));
}

}  // namespace
}  // namespace travik
