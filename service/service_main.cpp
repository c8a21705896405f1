// The program TRAVIKservice: the unattended processing service.
//
// Started by systemd through SRVANY, or in the foreground by hand; it runs
// until SIGTERM, SIGHUP or SIGINT, or until the processing code ends it
// (database missing or unusable, too many handled errors).  It does not start
// while another service runs on the same program folder.  Its exit status
// names the cause (exit_status.h); only an orderly stop ends with 0.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "platform/command_line.h"
#include "platform/event_log.h"
#include "platform/instance_lock.h"
#include "processing/runtime/exit_status.h"
#include "processing/runtime/handled_error.h"
#include "processing/runtime/program.h"
#include "processing/runtime/start_up.h"
#include "service/event_loop.h"
#include "service/service_host.h"
#include "service/service_startup.h"
#include "service/service_timers.h"
#include "service/writable_start.h"

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
  // journald takes the identifier up to the first blank: one without blanks
  // is what `journalctl -t TRAVIKservice` finds.
  travik::platform::SyslogEventLog syslog_{"TRAVIKservice"};
  bool echo_ = std::getenv("JOURNAL_STREAM") == nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  const travik::platform::ProgramUsage usage{
      "TRAVIKservice",
      "The TRAVIK processing service. Over the vrndata.mdb of its program folder (the\n"
      "folder of this program), it processes the new gateway trace files on its\n"
      "interval, writes the reports and the activity log into the output folder and\n"
      "schedules test calls, until SIGTERM or SIGINT stops it. systemd starts it\n"
      "through SRVANY once the service is installed; it also runs in the foreground."};
  if (const auto status = travik::platform::answerCommandLine(argc, argv, usage, std::cout, std::cerr)) return *status;
  // Before anything else, so a stop request at any moment waits for the loop.
  travik::SignalLoopPlatform platform;
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    std::fprintf(stderr, "TRAVIKservice: cannot find the program folder: %s\n", error.message().c_str());
    return travik::exit_status::kFatal;
  }
  const std::filesystem::path programFolder = executable.parent_path();
  travik::EventLoop loop(platform);
  travik::ServiceHost host(loop, platform);
  ServiceEventLog events;
  travik::Program program(programFolder, "TRAVIKservice", true, host, events);
  // One service per program folder: a second one, started by hand beside the
  // installed one, would repeat every cycle and reset the first one's marks.
  // Held to the end of the process.
  travik::platform::InstanceLock serviceLock(travik::platform::serviceLockFile(programFolder));
  const auto taken = travik::takeLockWhenWritable(program, serviceLock, platform, travik::kCycleTimerIntervalMs);
  if (!taken) return travik::exit_status::kOrderly;  // stopped while it waited
  switch (*taken) {
    case travik::platform::LockResult::Taken: break;
    case travik::platform::LockResult::HeldElsewhere:
      std::fprintf(stderr, "TRAVIKservice: a TRAVIK service is already running on %s%s%s; this one does not start.\n",
                   programFolder.c_str(), serviceLock.failure().empty() ? "" : " (",
                   serviceLock.failure().empty() ? "" : (serviceLock.failure() + ")").c_str());
      return travik::exit_status::kAlreadyRunning;
    case travik::platform::LockResult::NotPermitted:  // its account may not write the program folder
    case travik::platform::LockResult::Failed:
    case travik::platform::LockResult::Blocked:  // waited out above; here for the compiler's check
      std::fprintf(stderr, "TRAVIKservice: %s; the service does not start.\n", serviceLock.failure().c_str());
      return travik::exit_status::kFatal;
  }
  // A wait for a database that another process holds gives way to a stop.
  program.db.setStopCheck([&platform] { return platform.stopRequested(); });
  travik::ServiceStartup startup(program, loop, host);
  try {
    startup.formLoad();
    loop.run();
  } catch (const travik::StopRequested&) {
    // A stop request during the start-up's gateway check: the check is unwound.
  }
  travik::shutDownApplication(program, travik::exit_status::kOrderly);
}
