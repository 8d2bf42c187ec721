// kestal-sim's descriptor limit on POSIX: the soft limit is raised to the hard one,
// so one process can listen on thousands of addresses.
#include <sys/resource.h>

#include "sim_limits.h"

void sim_raise_socket_limit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  static_cast<void>(setrlimit(RLIMIT_NOFILE, &limit));  // the old limit still works
}
