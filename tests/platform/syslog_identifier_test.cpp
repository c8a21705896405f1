// The event log as the journal sees it.  journald takes a syslog entry's
// identifier from its first word, which must end in ":" (or "[pid]:"); an
// identifier with a blank leaves the entry without one, and `journalctl -t`
// cannot find it.  A child in a mount namespace of its own receives what
// syslog(3) sends on a /dev/log of its own, so no system logger is needed.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

#include "platform/event_log.h"

namespace travik::platform {
namespace {

constexpr int kCannot = 77;

// In the child: the datagram one entry sends, or why none can be caught.
std::string catchOneEntry(bool& cannot) {
  cannot = true;
  if (::unshare(CLONE_NEWNS) != 0) return std::string("no mount namespace: ") + std::strerror(errno);
  if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    return std::string("cannot make the mounts private: ") + std::strerror(errno);
  if (::mount("tmpfs", "/dev", "tmpfs", 0, "size=64k") != 0)
    return std::string("cannot mount a tmpfs on /dev: ") + std::strerror(errno);
  const int logger = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, "/dev/log");
  if (logger < 0 || ::bind(logger, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    return std::string("cannot bind /dev/log: ") + std::strerror(errno);
  cannot = false;
  SyslogEventLog events("TRAVIKservice");
  events.registerSource("TRAVIK Service");
  events.write("TRAVIK Service", EventKind::Error, 19, "Could not find the TRAVIK database (vrndata.mdb).",
               "/opt/travik/vrndata.mdb: file is not a database");
  events.releaseSource();
  char datagram[2048] = {0};
  const ssize_t got = ::recv(logger, datagram, sizeof datagram - 1, MSG_DONTWAIT);
  return got > 0 ? std::string(datagram, static_cast<std::size_t>(got)) : "nothing received";
}

// journald's reading of a syslog datagram: "<priority>", the time stamp
// ("Dec  9 18:00:00 "), then the identifier word.
struct JournalEntry {
  std::optional<std::string> identifier;
  std::string message;
};

JournalEntry asTheJournalReadsIt(std::string text) {
  JournalEntry entry;
  if (!text.empty() && text[0] == '<') text.erase(0, text.find('>') + 1);
  if (text.size() > 16 && text[3] == ' ' && text[6] == ' ' && text[9] == ':' && text[12] == ':') text.erase(0, 16);
  const std::size_t word = text.find_first_of(" \t\n");
  const std::string first = text.substr(0, word);
  if (!first.empty() && first.back() == ':') {
    std::string identifier = first.substr(0, first.size() - 1);
    if (!identifier.empty() && identifier.back() == ']') identifier.erase(identifier.rfind('['));
    entry.identifier = identifier;
    entry.message = word == std::string::npos ? "" : text.substr(word + 1);
  } else {
    entry.message = text;
  }
  return entry;
}

TEST(SyslogEventLog, TheJournalFindsTheEntriesUnderAnIdentifierWithoutBlanks) {
  int channel[2];
  ASSERT_EQ(::pipe(channel), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(channel[0]);
    bool cannot = false;
    const std::string text = catchOneEntry(cannot);
    (void)!::write(channel[1], text.data(), text.size());
    ::_exit(cannot ? kCannot : 0);
  }
  ::close(channel[1]);
  std::string received;
  char buffer[1024];
  for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;)
    received.append(buffer, static_cast<std::size_t>(got));
  ::close(channel[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == kCannot) GTEST_SKIP() << "no private /dev/log here: " << received;
  const JournalEntry entry = asTheJournalReadsIt(received);
  ASSERT_TRUE(entry.identifier) << received;
  EXPECT_EQ(*entry.identifier, "TRAVIKservice") << received;
  EXPECT_EQ(entry.message,
            "TRAVIK Service: [event 19] Could not find the TRAVIK database (vrndata.mdb). "
            "/opt/travik/vrndata.mdb: file is not a database");
  // The rule itself, on the identifier the entries had before.
  EXPECT_FALSE(asTheJournalReadsIt("<11>Dec  9 18:00:00 TRAVIK Service[17256]: [event 1] x").identifier);
}

}  // namespace
}  // namespace travik::platform
