// How many sockets kestal-sim may hold: a fleet of a few thousand addresses needs
// more descriptors than the usual soft limit allows.
#pragma once

// Raises the process's limit on open descriptors as far as it may; never fails.
void sim_raise_socket_limit();
