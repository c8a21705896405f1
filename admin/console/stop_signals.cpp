#include "admin/console/stop_signals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "platform/stop_signals.h"

namespace travik {

StopSignals::StopSignals() {
  const sigset_t stopSet = platform::stopSignals();
  pthread_sigmask(SIG_BLOCK, &stopSet, nullptr);
  fd_ = signalfd(-1, &stopSet, SFD_CLOEXEC | SFD_NONBLOCK);
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
    if (onStop_) onStop_();
  });
}

}  // namespace travik
