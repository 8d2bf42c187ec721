// Stop signals on POSIX: SIGTERM and SIGINT set a flag and interrupt the poll; SIGPIPE
// is ignored.
#include <signal.h>
#include <unistd.h>

#include "sim_stop.h"

namespace {

volatile sig_atomic_t stop_requested = 0;

void on_stop_signal(int) {
  stop_requested = 1;
}

}  // namespace

void sim_install_stop_handlers() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

bool sim_stop_requested() {
  return stop_requested != 0;
}

long sim_process_id() {
  return static_cast<long>(getpid());
}
