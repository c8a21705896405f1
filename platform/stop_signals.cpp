#include "platform/stop_signals.h"

#include <initializer_list>

namespace travik::platform {

sigset_t stopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  for (int signal : {SIGINT, SIGHUP}) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_IGN) sigaddset(&set, signal);
  }
  return set;
}

}  // namespace travik::platform
