// The console's end on a signal: SIGTERM (a logout, a dropped X session),
// SIGHUP (its terminal closed) and SIGINT (Ctrl-C) end it in order, as its
// exit menu does, so that its marks in the database and the registry do not
// outlive it.
//
// The signals are blocked from construction on and read through a signalfd
// in the event loop: the console is never cut off in the middle of a
// statement.  A SIGINT or SIGHUP that the parent set to be ignored (nohup, a
// background job) stays ignored.
#pragma once

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

 private:
  int fd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::function<void()> onStop_;
};

}  // namespace travik
