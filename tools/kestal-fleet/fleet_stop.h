// The signals a push acts on (SIGINT, SIGTERM, SIGHUP, and SIGCHLD for its children),
// taken as readable events of one descriptor so the push's loop sees them in order.
#pragma once

#include "fleet_fd.h"

struct StopSignals {
  Fd fd;               // readable when a signal is pending
  int first = 0;       // the first interrupt: no new transfer starts
  int count = 0;       // interrupts so far: the second stops the running ones at once
  bool child = false;  // SIGCHLD came since the last look
};

// Blocks the signals and opens the descriptor; false when it could not.
bool catch_stop_signals(StopSignals& stop);
// Takes the pending signals into `stop`.
void take_signals(StopSignals& stop);
// Waits up to `milliseconds` for a signal (interrupts and children alike).
void wait_signal(StopSignals& stop, int milliseconds);
