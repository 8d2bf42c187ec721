// kestal-fleet: pushes entries to many terminals at once through GNU parallel, one
// kestalentry run per terminal, and tells the fleet's state from its status rows.
#include <cstdio>
#include <string>

#include "fleet_options.h"
#include "fleet_push.h"
#include "kestal_version.h"

int main(int argc, char** argv) {
  FleetOptions options;
  std::string error;
  switch (parse_fleet_options(argc, argv, options, error)) {
    case FleetParse::kHelp:
      std::fputs(fleet_usage(), stdout);
      return 0;
    case FleetParse::kVersion:
      std::printf("kestal-fleet %s\n", KESTAL_VERSION);
      return 0;
    case FleetParse::kError:
      std::fprintf(stderr, "kestal-fleet: %s\nTry 'kestal-fleet --help'.\n", error.c_str());
      return 2;
    case FleetParse::kRun:
      break;
  }
  return options.command == "push" ? fleet_push(options) : fleet_status(options);
}
