// kestal-sim's network side: listens on every address, serves all connections at once
// in one loop, and stops when asked to (a signal, or Ctrl-C on Windows).
#pragma once

#include "sim_options.h"

// Runs until a stop is requested; 0 after a clean stop, 1 when setting up or a wait failed.
int run_sim_server(const SimOptions& options);
