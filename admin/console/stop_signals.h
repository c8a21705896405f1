// The console's end on a signal: SIGTERM (a logout, a dropped X session),
// SIGHUP (its terminal closed) and SIGINT (Ctrl-C) end it in order, as its
// exit menu does, so that its marks in the database and the registry do not
// outlive it.
//
// The signals are blocked from construction on and read through a signalfd
// in the event loop: the console is never cut off in the middle of a
// statement.  Where the event loop does not run (a wait for the database, a
// pause, a message box about to open) the console asks pending() instead.  A
// SIGINT or SIGHUP that the parent set to be ignored (nohup, a background
// job) stays ignored.
#pragma once

#include <signal.h>

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace travik {

class StopSignals : public QObject {
 public:
  // Blocks the signals; construct before any thread starts (before
  // QApplication), so that every thread inherits the mask.
  StopSignals();
  ~StopSignals() override;
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // From now on the event loop calls onStop when one of the signals arrives.
  void listen(std::function<void()> onStop);
  // True once one of the signals has arrived, whether or not the event loop
  // has seen it; it stays pending for the event loop.
  bool pending();

 private:
  sigset_t set_;
  bool seen_ = false;
  int fd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::function<void()> onStop_;
};

}  // namespace travik
