// The run of one transfer: command line, database, entry table, status row,
// terminal, and the last line of output. Returns the process exit status.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "log/report.h"

// `arguments` are the command-line arguments after the program name.
std::int32_t run_transfer(const std::vector<std::string>& arguments, Report& report);
