#include "service/service_startup.h"

#include "processing/run/program_start.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/start_up.h"

namespace travik {

ServiceStartup::ServiceStartup(Program& program, EventLoop& loop, ServiceHost& host) : program_(program), loop_(loop) {
  tmrTimer = loop.addTimer("tmrTimer", kCycleTimerIntervalMs, [this] { tmrTimer_Timer(program_, times); });
  tmrTestCalls = loop.addTimer("tmrTestCalls", kCycleTimerIntervalMs, [this] { tmrTestCalls_Timer(program_, times); });
  // Test calls wait on the gateway's database; a processing run must not
  // wait with them, so they never run inside one of its yields.
  loop.setTimerRunsOnlyFromLoop(tmrTestCalls);
  tmrLogFlushTimer =
      loop.addTimer("tmrLogFlushTimer", kLogFlushIntervalMs, [this] { tmrLogFlushTimer_Timer(program_); });
  host.attachLogFlushTimer(tmrLogFlushTimer);
  // systemd's SIGTERM and Ctrl-C's SIGINT: SERVICEPROCESSING back to "False",
  // event 2 and the log on disk, rather than a process cut off mid-cycle.
  loop.onStop = [this] { shutDownApplication(program_, exit_status::kOrderly); };
}

void ServiceStartup::formLoad() {
  program_.gatewayNotInstalled = false;
  program_.handledErrorCount = 0;
  main(program_);
  // Only the service ever sets SERVICEPROCESSING "True"; a service that was
  // killed during a run left it so, and the console would refuse to process
  // for good.  No run of this service is under way yet.
  if (program_.db.isOpen()) setApplicationParameter(program_, parameter::kServiceProcessing, "False");
  times.nextProcessTime = program_.host.now();
  times.nextTestCallTime = program_.host.now();
  loop_.setTimerEnabled(tmrTimer, true);
  loop_.setTimerEnabled(tmrTestCalls, true);
}

}  // namespace travik
