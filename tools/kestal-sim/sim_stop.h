// How kestal-sim learns to stop (SIGTERM or SIGINT on POSIX; Ctrl-C, Ctrl-Break or a
// closed console on Windows), and the process id it writes into its ready file.
#pragma once

// Installs the handlers; a peer that has gone must not kill the process either.
void sim_install_stop_handlers();
bool sim_stop_requested();
long sim_process_id();
