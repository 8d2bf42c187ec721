// What --history and --metrics keep of a push or a status read, beside the JSON lines
// and the page that --json and --html write.
#pragma once

#include <string>

#include "fleet_options.h"
#include "fleet_result.h"

// --keep only with --history; --history and --metrics not with --dry-run; false with `error` set.
bool check_record_options(const FleetOptions& options, std::string& error);

// Each false with `error` set when a file the options name cannot be written.
bool record_push(const FleetOptions& options, const PushReport& report,
                 const std::string& json_lines, const std::string& page, int exit_status,
                 std::string& error);
bool record_status(const FleetOptions& options, const StatusReport& report, std::string& error);
