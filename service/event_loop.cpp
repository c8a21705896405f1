#include "service/event_loop.h"

#include <cerrno>
#include <chrono>
#include <ctime>

#include "platform/stop_signals.h"
#include "processing/runtime/handled_error.h"

namespace travik {

SignalLoopPlatform::SignalLoopPlatform() {
  // SIGHUP (the terminal of a foreground run closed) ends the service in
  // order as SIGTERM does.
  stopSignals_ = platform::stopSignals();
  pthread_sigmask(SIG_BLOCK, &stopSignals_, nullptr);
}

std::int64_t SignalLoopPlatform::steadyMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

DateTime SignalLoopPlatform::localNow() { return DateTime::fromTimeT(std::time(nullptr)); }

bool SignalLoopPlatform::stopRequested() {
  if (stopSeen_) return true;
  sigset_t pending;
  if (sigpending(&pending) != 0) return false;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    if (sigismember(&stopSignals_, signal) == 1 && sigismember(&pending, signal) == 1) {
      const timespec noWait{0, 0};
      sigtimedwait(&stopSignals_, nullptr, &noWait);  // take it off the pending set
      stopSeen_ = true;
    }
  }
  return stopSeen_;
}

bool SignalLoopPlatform::waitForStop(std::int64_t milliseconds) {
  if (stopSeen_) return true;
  const std::int64_t deadline = steadyMilliseconds() + milliseconds;
  for (;;) {
    const std::int64_t remaining = deadline - steadyMilliseconds();
    if (remaining <= 0) return stopRequested();
    const timespec wait{static_cast<time_t>(remaining / 1000), static_cast<long>(remaining % 1000) * 1000000L};
    if (sigtimedwait(&stopSignals_, nullptr, &wait) > 0) {
      stopSeen_ = true;
      return true;
    }
    if (errno == EAGAIN) return false;
    // EINTR: some other signal's handler ran; the wait goes on.
  }
}

EventLoop::TimerId EventLoop::addTimer(std::string name, std::int64_t intervalMilliseconds,
                                       std::function<void()> tick) {
  Timer timer;
  timer.name = std::move(name);
  timer.interval = intervalMilliseconds;
  timer.tick = std::move(tick);
  timers_.push_back(std::move(timer));
  return timers_.size() - 1;
}

void EventLoop::setTimerEnabled(TimerId id, bool enabled) {
  Timer& timer = timers_.at(id);
  if (enabled && !timer.enabled) timer.due = platform_.steadyMilliseconds() + timer.interval;
  timer.enabled = enabled;
}

bool EventLoop::timerEnabled(TimerId id) const { return timers_.at(id).enabled; }

void EventLoop::setTimerRunsOnlyFromLoop(TimerId id) { timers_.at(id).onlyFromLoop = true; }

bool EventLoop::checkStop() {
  if (stopping_) return true;
  if (!platform_.stopRequested()) return false;
  stopping_ = true;
  if (onStop) onStop();
  return true;
}

void EventLoop::processEvents() {
  if (checkStop()) return;
  for (TimerId id = 0; id < timers_.size(); ++id) {
    const std::int64_t now = platform_.steadyMilliseconds();
    {
      Timer& timer = timers_[id];
      if (!timer.enabled || timer.running || timer.due > now) continue;
      if (timer.onlyFromLoop && ticksUnderWay_ > 0) continue;  // stays due for the loop
      // Like a periodic window timer: the next tick counts from this one.
      timer.due = now + timer.interval;
      timer.running = true;
    }
    struct Finished {
      Timer& timer;
      int& underWay;
      ~Finished() {
        timer.running = false;
        --underWay;
      }
    } finished{timers_[id], ticksUnderWay_};
    ++ticksUnderWay_;
    try {
      timers_[id].tick();
    } catch (const StopRequested&) {
      // Unwound to here; a tick that this one ran inside unwinds as well.
      if (ticksUnderWay_ > 1) throw;
      if (onStop) onStop();
      return;
    }
    if (checkStop()) return;
  }
}

void EventLoop::pause(std::int64_t milliseconds) {
  if (stopping_) return;
  if (platform_.waitForStop(milliseconds)) checkStop();
}

void EventLoop::honourStop() {
  if (stopping_ || !platform_.stopRequested()) return;
  stopping_ = true;
  throw StopRequested{};
}

void EventLoop::run() {
  constexpr std::int64_t kIdleWait = 60000;
  for (;;) {
    processEvents();
    if (stopping_) return;
    const std::int64_t now = platform_.steadyMilliseconds();
    std::int64_t wait = kIdleWait;
    for (const Timer& timer : timers_)
      if (timer.enabled && !timer.running) wait = std::min(wait, std::max<std::int64_t>(0, timer.due - now));
    if (wait > 0) platform_.waitForStop(wait);
  }
}

}  // namespace travik
