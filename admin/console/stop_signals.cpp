#include "admin/console/stop_signals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <initializer_list>

#include "platform/stop_signals.h"

namespace travik {

StopSignals::StopSignals() : set_(platform::stopSignals()) {
  pthread_sigmask(SIG_BLOCK, &set_, nullptr);
  fd_ = signalfd(-1, &set_, SFD_CLOEXEC | SFD_NONBLOCK);
}

StopSignals::~StopSignals() {
  notifier_.reset();
  if (fd_ >= 0) ::close(fd_);
}

void StopSignals::listen(std::function<void()> onStop) {
  if (fd_ < 0) return;
  onStop_ = std::move(onStop);
  notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
    signalfd_siginfo info{};
    if (::read(fd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return;
    // Once: the orderly end may run the event loop (a yield) before it ends the process.
    notifier_->setEnabled(false);
    seen_ = true;
    if (onStop_) onStop_();
  });
}

bool StopSignals::pending() {
  if (seen_) return true;
  sigset_t waiting;
  if (sigpending(&waiting) != 0) return false;
  for (const int signal : {SIGTERM, SIGINT, SIGHUP})
    if (sigismember(&set_, signal) == 1 && sigismember(&waiting, signal) == 1) seen_ = true;
  return seen_;
}

}  // namespace travik
