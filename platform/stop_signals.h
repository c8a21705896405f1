// The signals that ask a program to stop in order: SIGTERM (systemd, a
// logout), SIGHUP (a closed terminal, a dropped session) and SIGINT (Ctrl-C).
// A SIGINT or SIGHUP that the parent set to be ignored (a background job of
// a script, nohup) stays ignored and is left out.
#pragma once

#include <signal.h>

namespace travik::platform {

sigset_t stopSignals();

}  // namespace travik::platform
