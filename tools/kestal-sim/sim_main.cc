// kestal-sim: a terminal peer of the entry transfer's line protocol, for tests, demos
// and trying a transfer before a real terminal is touched.
#include <cstdio>
#include <string>

#include "kestal_version.h"
#include "sim_limits.h"
#include "sim_options.h"
#include "sim_server.h"

int main(int argc, char** argv) {
  SimOptions options;
  std::string error;
  switch (parse_sim_options(argc, argv, options, error)) {
    case ParseResult::kHelp:
      std::fputs(sim_usage(), stdout);
      return 0;
    case ParseResult::kVersion:
      std::printf("kestal-sim %s\n", KESTAL_VERSION);
      return 0;
    case ParseResult::kError:
      std::fprintf(stderr, "kestal-sim: %s\nTry 'kestal-sim --help'.\n", error.c_str());
      return 2;
    case ParseResult::kRun:
      break;
  }
  sim_raise_socket_limit();
  return run_sim_server(options);
}
