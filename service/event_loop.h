// The service's message loop: timers on the program's one thread.
//
// The service has no windows, only timers.  A timer's tick runs either from
// the loop itself, between two pieces of work, or inside a yield of work that
// is under way (the processing code yields after every activity-log line and
// inside its long loops), so one cycle can run inside a pause of another.  A
// timer whose tick is still running is not started again from a yield inside
// that tick: its tick waits until the running one has returned.
//
// A stop request (SIGTERM from systemd, SIGINT from Ctrl-C, SIGHUP from a
// closed terminal) is noticed by the
// loop, by every yield and by every pause, and is handed to onStop once.
// Long work that neither yields nor pauses looks for it at places of its own
// (honourStop): there the request unwinds the work, every tick under way
// included, and the loop then hands it to onStop.
#pragma once

#include <signal.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "processing/text/date_time.h"

namespace travik {

// What the loop needs of the machine: a steady clock for the timers, local
// civil time for the system, and a wait that a stop request cuts short.
class LoopPlatform {
 public:
  virtual ~LoopPlatform() = default;
  // Milliseconds of a clock that never jumps.
  virtual std::int64_t steadyMilliseconds() = 0;
  // The local civil time: every "now" of the system.
  virtual DateTime localNow() = 0;
  // Waits up to milliseconds; true when it ended because a stop was requested.
  virtual bool waitForStop(std::int64_t milliseconds) = 0;
  // True once a stop has been requested; does not wait.
  virtual bool stopRequested() = 0;
};

// The real machine.  SIGTERM, SIGINT and SIGHUP are blocked on construction,
// so that they stay pending until the loop looks for them: the program is
// never cut off in the middle of a statement.  A SIGINT or SIGHUP that the
// parent set to be ignored (a background job of a script, nohup) stays
// ignored.
class SignalLoopPlatform : public LoopPlatform {
 public:
  SignalLoopPlatform();
  std::int64_t steadyMilliseconds() override;
  DateTime localNow() override;
  bool waitForStop(std::int64_t milliseconds) override;
  bool stopRequested() override;

 private:
  sigset_t stopSignals_;
  bool stopSeen_ = false;
};

class EventLoop {
 public:
  using TimerId = std::size_t;

  explicit EventLoop(LoopPlatform& platform) : platform_(platform) {}
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  // A timer, disabled until enabled; ticks every intervalMilliseconds.
  TimerId addTimer(std::string name, std::int64_t intervalMilliseconds, std::function<void()> tick);
  // Enabling a disabled timer starts its interval anew; enabling an enabled one changes nothing.
  void setTimerEnabled(TimerId timer, bool enabled);
  bool timerEnabled(TimerId timer) const;
  // A timer whose tick waits on something slow (the gateway) runs only from
  // the loop itself, never inside a yield of another tick, which would then
  // wait with it.
  void setTimerRunsOnlyFromLoop(TimerId timer);

  // Runs the ticks as they fall due until a stop is requested, then calls onStop.
  // Returns only when onStop returns (the programs' onStop ends the process).
  void run();
  // Runs every timer that is due and not already running (the yield of the processing code).
  void processEvents();
  // A pause of the thread: no tick runs during it.  A stop request ends it early.
  void pause(std::int64_t milliseconds);
  // Throws StopRequested when a stop has been requested and not yet handled.
  void honourStop();

  bool stopping() const { return stopping_; }

  // Called once, at the first place the loop notices a stop request.
  std::function<void()> onStop;

 private:
  struct Timer {
    std::string name;
    std::int64_t interval = 0;
    std::function<void()> tick;
    bool enabled = false;
    bool running = false;       // its tick is under way, perhaps paused at a yield
    bool onlyFromLoop = false;  // never run inside another tick
    std::int64_t due = 0;       // steady milliseconds of its next tick
  };

  // True when the program is stopping; on the first notice runs onStop.
  bool checkStop();

  LoopPlatform& platform_;
  std::vector<Timer> timers_;
  bool stopping_ = false;
  int ticksUnderWay_ = 0;  // ticks running, one inside a yield of another
};

}  // namespace travik
