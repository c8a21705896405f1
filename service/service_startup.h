// frmServiceStartup: the start of the service program and its timers.
//
// The service is driven by its timers alone: the processing timer and the
// test-call timer of frmTimer, and the activity log's flush timer.  The
// start-up sets the run-mode flags, runs the common start of the processing
// code, makes both cycles due at once and enables the two cycle timers, so
// both cycles run at their first ticks, 15 seconds later.
#pragma once

#include "processing/runtime/program.h"
#include "service/event_loop.h"
#include "service/service_host.h"
#include "service/service_timers.h"

namespace travik {

class ServiceStartup {
 public:
  // Creates the three timers, disabled, and hands the flush timer to the host.
  // A stop request noticed by the loop ends the program in order.
  ServiceStartup(Program& program, EventLoop& loop, ServiceHost& host);

  // Form_Load of frmServiceStartup.
  void formLoad();

  CycleTimes times;
  EventLoop::TimerId tmrTimer = 0;
  EventLoop::TimerId tmrTestCalls = 0;
  EventLoop::TimerId tmrLogFlushTimer = 0;

 private:
  Program& program_;
  EventLoop& loop_;
};

}  // namespace travik
