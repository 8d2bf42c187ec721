// kestal-sim: a terminal peer of the entry transfer's line protocol, for tests, demos
// and trying a transfer before a real terminal is touched.
#include <string>

#include "kestal_version.h"
#include "sim_limits.h"
#include "sim_options.h"
#include "sim_server.h"

int main(int argc, char** argv) {
  SimOptions options;
  std::string error;
  const CliResult result = parse_sim_options(argc, argv, options, error);
  if (result != CliResult::kRun)
    return answer_command_line(result, "kestal-sim", sim_usage(), KESTAL_VERSION, error);
  sim_raise_socket_limit();
  return run_sim_server(options);
}
