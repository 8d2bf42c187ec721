// signalfd rather than handlers: no async-signal-safety to mind, and poll() wakes for
// a signal exactly as for output of a child.
#include "fleet_stop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>

bool catch_stop_signals(StopSignals& stop) {
  sigset_t set;
  sigemptyset(&set);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&set, s);
  if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) return false;
  stop.fd = Fd(signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
  return stop.fd.valid();
}

void take_signals(StopSignals& stop) {
  signalfd_siginfo info{};
  while (read(stop.fd.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    int signal = static_cast<int>(info.ssi_signo);
    if (signal == SIGCHLD) {
      stop.child = true;
      continue;
    }
    if (stop.count++ == 0) stop.first = signal;
  }
}

void wait_signal(StopSignals& stop, int milliseconds) {
  pollfd p{stop.fd.get(), POLLIN, 0};
  if (poll(&p, 1, milliseconds) > 0) take_signals(stop);
}
