// kestal-fleet: pushes entries to many terminals at once through GNU parallel, one
// kestalentry run per terminal, and tells the fleet's state from its status rows.
#include <string>

#include "fleet_options.h"
#include "fleet_push.h"
#include "kestal_version.h"

int main(int argc, char** argv) {
  FleetOptions options;
  std::string error;
  const CliResult result = parse_fleet_options(argc, argv, options, error);
  if (result != CliResult::kRun)
    return answer_command_line(result, "kestal-fleet", fleet_usage(), KESTAL_VERSION, error);
  return options.command == "push" ? fleet_push(options) : fleet_status(options);
}
