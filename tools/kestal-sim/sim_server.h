// kestal-sim's network side: listens on every address, serves all connections at once
// with poll, and stops when a termination signal arrives.
#pragma once

#include "sim_options.h"

// Runs until SIGTERM or SIGINT; 0 after a clean stop, 1 when setting up failed.
int run_sim_server(const SimOptions& options);
