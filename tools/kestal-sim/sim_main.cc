// kestal-sim: a terminal peer of the entry transfer's line protocol, for tests, demos
// and trying a transfer before a real terminal is touched.
#include "kestal_version.h"
#include "sim_limits.h"
#include "sim_options.h"
#include "sim_server.h"

namespace {

// A fleet of thousands of addresses needs more descriptors than the default limit.
int run_sim(const SimOptions& options) {
  sim_raise_socket_limit();
  return run_sim_server(options);
}

}  // namespace

int main(int argc, char** argv) {
  return run_companion<SimOptions>(argc, argv, "kestal-sim", sim_usage(), KESTAL_VERSION,
                                   parse_sim_options, run_sim);
}
