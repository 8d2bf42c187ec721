// The two commands of kestal-fleet; each returns the process exit status
// (0 all well, 1 some terminal not, 2 usage or set-up error).
#pragma once

#include <string>

#include "fleet_options.h"

int fleet_push(const FleetOptions& options);
int fleet_status(const FleetOptions& options);

// Writes the JSON lines and the page to the files the options name, if any.
bool write_outputs(const FleetOptions& options, const std::string& json_lines,
                   const std::string& page, std::string& error);

// Prints "kestal-fleet: TEXT" on standard error and returns 2.
int fleet_fail(const std::string& text);
