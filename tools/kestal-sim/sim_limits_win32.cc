// kestal-sim's socket limit on Windows: sockets are not counted against a
// per-process descriptor limit, so there is nothing to raise.
#include "sim_limits.h"

void sim_raise_socket_limit() {}
