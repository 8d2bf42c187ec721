// kestal-fleet: pushes entries to many terminals at once, one kestalentry run per
// terminal, and tells the fleet's state from its status rows.
#include "fleet_options.h"
#include "fleet_push.h"
#include "kestal_version.h"

namespace {

int run_fleet(const FleetOptions& options) {
  return options.command == "push" ? fleet_push(options) : fleet_status(options);
}

}  // namespace

int main(int argc, char** argv) {
  return run_companion<FleetOptions>(argc, argv, "kestal-fleet", fleet_usage(), KESTAL_VERSION,
                                     parse_fleet_options, run_fleet);
}
