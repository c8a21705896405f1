// The programs' locks across real processes: held while the holder lives,
// gone however it ends, in the program folder and closed to other accounts,
// and a lock that cannot be used is told apart from one held or not permitted.
#include "platform/instance_lock.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/lock_holder.h"
#include "tests/support/test_program.h"

extern char** environ;

namespace travik {
namespace {

namespace fs = std::filesystem;
using platform::InstanceLock;
using platform::LockResult;

constexpr uid_t kNobody = 65534;

// A lock folder of the test's own (sticky, every account writes); unset: the program folder.
class LockTest : public ::testing::Test {
 protected:
  LockTest() {
    const char* saved = std::getenv("TRAVIK_LOCK_DIR");
    saved_ = saved ? std::optional<std::string>(saved) : std::nullopt;
    fs::permissions(temp.path(), fs::perms::all & ~fs::perms::others_write & ~fs::perms::group_write);
    fs::create_directories(locks());
    ::chmod(locks().c_str(), 01777);
    ::setenv("TRAVIK_LOCK_DIR", locks().c_str(), 1);
    fs::create_directories(folder());
  }
  ~LockTest() override {
    if (saved_)
      ::setenv("TRAVIK_LOCK_DIR", saved_->c_str(), 1);
    else
      ::unsetenv("TRAVIK_LOCK_DIR");
  }
  fs::path locks() const { return temp.path() / "locks"; }
  fs::path folder() const { return temp.path() / "program"; }

  test::TempFolder temp;

 private:
  std::optional<std::string> saved_;
};

TEST_F(LockTest, EachInstallationAndKindHasItsOwnFileInTheLockFolder) {
  const fs::path file = platform::consoleLockFile(folder());
  EXPECT_EQ(file.parent_path(), locks());
  EXPECT_EQ(file.filename().string().rfind("travik-admin-", 0), 0u) << file;
  // The same folder however it is named: through a link, with "..".
  fs::create_directory_symlink(folder(), temp.path() / "link");
  EXPECT_EQ(platform::consoleLockFile(temp.path() / "link"), file);
  EXPECT_EQ(platform::consoleLockFile(temp.path() / "program" / ".." / "program" / ""), file);
  // Another installation, another kind: other files.
  fs::create_directories(temp.path() / "other");
  EXPECT_NE(platform::consoleLockFile(temp.path() / "other"), file);
  EXPECT_NE(platform::serviceLockFile(folder()), file);
  EXPECT_NE(platform::processingLockFile(folder() / "vrndata.mdb"), file);
  // Without the override: beside the database, under the same names however the folder is named.
  ::unsetenv("TRAVIK_LOCK_DIR");
  EXPECT_EQ(platform::consoleLockFile(temp.path() / "link" / ""), folder() / "travik-admin.lock");
  EXPECT_EQ(platform::serviceLockFile(folder()), folder() / "travik-service.lock");
  EXPECT_EQ(platform::processingLockFile(temp.path() / "link" / "vrndata.mdb"), folder() / "travik-processing.lock");
}

TEST_F(LockTest, HeldWhileTheHolderLivesAndGoneHoweverItEnds) {
  const fs::path file = platform::serviceLockFile(folder());
  EXPECT_FALSE(InstanceLock::isHeld(file));  // no file yet: nobody holds it

  test::LockHolder holder(file);
  ASSERT_EQ(holder.result(), LockResult::Taken);
  EXPECT_TRUE(InstanceLock::isHeld(file));
  InstanceLock second(file);
  EXPECT_EQ(second.tryAcquire(), LockResult::HeldElsewhere);
  EXPECT_TRUE(second.failure().empty());
  // Probing takes nothing: the holder is not disturbed, and a probe never
  // refuses a program that starts at the same moment.
  EXPECT_TRUE(InstanceLock::isHeld(file));

  // A crash (SIGKILL) leaves the file but no lock.
  holder.kill();
  EXPECT_TRUE(fs::exists(file));
  EXPECT_FALSE(InstanceLock::isHeld(file));
  ASSERT_EQ(second.tryAcquire(), LockResult::Taken);
  EXPECT_TRUE(InstanceLock::isHeld(file));  // seen by this process too
  test::LockHolder refused(file);
  EXPECT_EQ(refused.result(), LockResult::HeldElsewhere);
  // A forked child shares this process's open lock file until it ends (the
  // programs' children exec, which closes it).
  refused.letGo();
  second.release();
  EXPECT_FALSE(InstanceLock::isHeld(file));

  // A normal end gives it back as well.
  {
    test::LockHolder ending(file);
    ASSERT_EQ(ending.result(), LockResult::Taken);
    ending.letGo();
  }
  EXPECT_EQ(second.tryAcquire(), LockResult::Taken);
}

TEST_F(LockTest, OnlyTheDatabasesAccountsMayTakeALockWhoeverCreatedIt) {
  if (::geteuid() != 0) GTEST_SKIP() << "switching to a second account needs root; the tests run as another user";
  ::unsetenv("TRAVIK_LOCK_DIR");
  const fs::path database = folder() / "vrndata.mdb";
  test::writeFile(database, "");
  ASSERT_EQ(::chmod(database.c_str(), 0640), 0);
  const fs::path file = platform::consoleLockFile(folder());
  const mode_t savedMask = ::umask(077);  // a creator's strictest umask
  InstanceLock root(file);
  ASSERT_EQ(root.tryAcquire(), LockResult::Taken);
  ::umask(savedMask);
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  root.release();
  // Another account may neither take that file nor create one in the folder.
  EXPECT_EQ(test::LockHolder(file, kNobody).result(), LockResult::NotPermitted);
  EXPECT_EQ(test::LockHolder(platform::serviceLockFile(folder()), kNobody).result(), LockResult::NotPermitted);
  // The database given to that account's group: the next take hands the lock over too.
  ASSERT_EQ(::chown(database.c_str(), 0, kNobody) | ::chmod(database.c_str(), 0660), 0);
  ASSERT_EQ(root.tryAcquire(), LockResult::Taken);
  root.release();
  EXPECT_EQ(test::LockHolder(file, kNobody).result(), LockResult::Taken);
}

// A folder once open to every account: another account, which cannot open the
// database and so runs no TRAVIK program, planted the lock's name, held or
// not.  Whatever it left is replaced, leaving nothing else; a link's target is untouched.
TEST_F(LockTest, ALockFileOfAnotherAccountIsReplacedWhateverItIsAndObeyedOnlyWhereTheDatabaseIsOpen) {
  if (::geteuid() != 0) GTEST_SKIP() << "switching to a second account needs root; the tests run as another user";
  ::unsetenv("TRAVIK_LOCK_DIR");
  const fs::path database = folder() / "vrndata.mdb", target = temp.path() / "precious";
  test::writeFile(database, "");
  test::writeFile(target, "keep");
  ASSERT_EQ(::chmod(database.c_str(), 0660) | ::chmod(folder().c_str(), 0777), 0);
  const fs::path file = platform::serviceLockFile(folder());
  for (const std::string kind : {"regular file", "FIFO", "symbolic link"}) {
    std::optional<test::LockHolder> held;
    const std::string plant =
        kind == "FIFO" ? "mkfifo " + file.string() : "ln -s " + target.string() + " " + file.string();
    if (kind == "regular file")
      held.emplace(file, kNobody);
    else
      ASSERT_EQ(std::system(("setpriv --reuid=nobody --regid=nogroup --clear-groups " + plant).c_str()), 0);
    ASSERT_TRUE(!held || held->result() == LockResult::Taken);
    EXPECT_FALSE(InstanceLock::isHeld(file)) << kind;  // stands for no program
    InstanceLock root(file);
    ASSERT_EQ(root.tryAcquire(), LockResult::Taken) << kind << ": " << root.failure();
    EXPECT_NE(root.notice().find("the " + kind + " " + file.string() + " of nobody (uid 65534)"), std::string::npos)
        << root.notice();
    struct stat info {};
    ASSERT_EQ(::lstat(file.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode) && info.st_uid == 0 && (info.st_mode & 07777) == 0660) << kind;
    EXPECT_EQ(test::LockHolder(file).result(), LockResult::HeldElsewhere) << kind;  // one file for every taker
    EXPECT_EQ(std::distance(fs::directory_iterator(folder()), fs::directory_iterator()), 2) << kind;
    fs::remove(file);
  }
  EXPECT_EQ(test::readFile(target), "keep");
  // A database open to every account lets that account run a program on it: its hold is obeyed, and named.
  ASSERT_EQ(::chmod(database.c_str(), 0666), 0);
  test::LockHolder held(file, kNobody);
  InstanceLock root(file);
  EXPECT_EQ(root.tryAcquire(), LockResult::HeldElsewhere);
  EXPECT_NE(root.failure().find(file.string() + " is owned by nobody (uid 65534)"), std::string::npos)
      << root.failure();
}

TEST_F(LockTest, ALockThatCannotBeUsedIsReportedWithItsReason) {
  const fs::path file = platform::consoleLockFile(folder());
  // A folder in the way, of whichever account: nothing can take its place.
  fs::create_directories(file);
  ASSERT_TRUE(::geteuid() != 0 || ::chown(file.c_str(), kNobody, kNobody) == 0);
  InstanceLock lock(file);
  EXPECT_EQ(lock.tryAcquire(), LockResult::Blocked);
  EXPECT_NE(lock.failure().find("the folder " + file.string()), std::string::npos) << lock.failure();
  fs::remove(file);

  // A link of this account under the lock's name is neither followed nor
  // replaced: its target is neither locked nor opened up to other accounts.
  const fs::path target = temp.path() / "precious";
  test::writeFile(target, "keep");
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink(target, file);
  EXPECT_EQ(lock.tryAcquire(), LockResult::Blocked);
  EXPECT_NE(lock.failure().find("the symbolic link " + file.string()), std::string::npos) << lock.failure();
  EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_FALSE(InstanceLock::isHeld(file));

  // Once it is gone the lock is taken, and the new file of a replacement
  // killed before its rename goes; one whose maker runs stays.
  fs::remove(file);
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ::waitpid(ended, nullptr, 0);
  for (const pid_t maker : {ended, 1}) test::writeFile(file.string() + ".new-" + std::to_string(maker), "");
  EXPECT_EQ(lock.tryAcquire(), LockResult::Taken);
  EXPECT_FALSE(fs::exists(file.string() + ".new-" + std::to_string(ended)));
  EXPECT_TRUE(fs::exists(file.string() + ".new-1"));
}

// A test program run takes its locks in a folder of its own and leaves none
// behind: started with no lock folder set, as from a shell, the program below
// takes a console lock on a folder named to it and writes down the lock
// file's path; once it has ended, neither that file nor its folder is left,
// and the folder named holds no lock file either.
constexpr const char* kSubject = "TRAVIK_TEST_LOCK_SUBJECT";

TEST(TestLockFolder, ATakesALockWhenAskedByTheTestBelow) {
  const char* subject = std::getenv(kSubject);
  if (!subject) GTEST_SKIP() << "run by TestLockFolder.ARunLeavesNoLockFile only";
  InstanceLock lock(platform::consoleLockFile(subject));
  ASSERT_TRUE(lock.acquire());
  std::ofstream(fs::path(subject) / "lock-file") << lock.file().string();
}

TEST(TestLockFolder, ARunLeavesNoLockFile) {
  test::TempFolder temp;
  const fs::path subject = temp.path() / "program";
  fs::create_directories(subject);
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry) {
    const std::string setting = *entry;
    if (!setting.starts_with("TRAVIK_LOCK_DIR") && !setting.starts_with("TRAVIK_TEST_LOCK_DIR"))
      environment.push_back(setting);
  }
  environment.push_back(std::string(kSubject) + "=" + subject.string());
  std::vector<char*> envp;
  for (auto& setting : environment) envp.push_back(setting.data());
  envp.push_back(nullptr);
  std::string self = fs::read_symlink("/proc/self/exe").string();
  std::string filter = "--gtest_filter=TestLockFolder.ATakesALockWhenAskedByTheTestBelow";
  char* argv[] = {self.data(), filter.data(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, envp.data()), 0);
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      FAIL() << "the test program did not end within a minute";
    }
    ::usleep(10'000);
  }
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  std::ifstream written(subject / "lock-file");
  std::string file;
  ASSERT_TRUE(std::getline(written, file)) << "the lock was not taken";
  const fs::path lockFile(file);
  EXPECT_NE(lockFile.parent_path(), fs::path("/run/lock"));
  EXPECT_FALSE(fs::exists(lockFile));
  EXPECT_FALSE(fs::exists(lockFile.parent_path()));
  EXPECT_FALSE(fs::exists(subject / "travik-admin.lock"));
  EXPECT_FALSE(fs::exists(fs::path("/tmp") / lockFile.filename()));
}

}  // namespace
}  // namespace travik
