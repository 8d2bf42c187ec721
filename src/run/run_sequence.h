// The run of one transfer: command line, database, entry table, status row,
// terminal, and the last line of output. Returns the process exit status.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "log/report.h"
#include "run/run_outcome.h"

// `arguments` are the command-line arguments after the program name; `outcome` gets
// what a supervising program is told (all but the exit status).
std::int32_t run_transfer(const std::vector<std::string>& arguments, Report& report,
                          RunOutcome& outcome);
