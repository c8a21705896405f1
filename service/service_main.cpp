// The program TRAVIKservice: the unattended processing service.
//
// Started by systemd through SRVANY, or in the foreground by hand; it runs
// until SIGTERM or SIGINT, or until the processing code ends it (database
// missing, too many handled errors).
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/event_log.h"
#include "processing/handled_error.h"
#include "processing/program.h"
#include "processing/start_up.h"
#include "service/event_loop.h"
#include "service/service_host.h"
#include "service/service_startup.h"

namespace {

// Event-log entries go to syslog.  Outside systemd (a foreground run, a
// machine without a syslog daemon) they are also written to standard error,
// so they are not lost; under systemd standard error is the journal, which
// receives the syslog entries already.
class ServiceEventLog : public travik::platform::EventLogSink {
 public:
  void registerSource(const std::string& source) override { syslog_.registerSource(source); }
  void write(const std::string& source, travik::platform::EventKind kind, int eventId, const std::string& idText,
             const std::string& passedText) override {
    syslog_.write(source, kind, eventId, idText, passedText);
    if (echo_) {
      std::fprintf(stderr, "%s: [event %d] %s%s%s\n", source.c_str(), eventId, idText.c_str(),
                   passedText.empty() ? "" : " ", passedText.c_str());
      std::fflush(stderr);
    }
  }
  void releaseSource() override { syslog_.releaseSource(); }

 private:
  travik::platform::SyslogEventLog syslog_;
  bool echo_ = std::getenv("JOURNAL_STREAM") == nullptr;
};

}  // namespace

int main() {
  // Before anything else, so a stop request at any moment waits for the loop.
  travik::SignalLoopPlatform platform;
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    std::fprintf(stderr, "TRAVIKservice: cannot find the program folder: %s\n", error.message().c_str());
    return 1;
  }
  travik::EventLoop loop(platform);
  travik::ServiceHost host(loop, platform);
  ServiceEventLog events;
  travik::Program program(executable.parent_path(), "TRAVIKservice", true, host, events);
  travik::ServiceStartup startup(program, loop, host);
  try {
    startup.formLoad();
    loop.run();
  } catch (const travik::StopRequested&) {
    // A stop request during the start-up's gateway check: the check is unwound.
  }
  travik::shutDownApplication(program);
}
