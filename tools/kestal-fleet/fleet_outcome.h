// What one transfer's exit status, last line and status row mean: the outcome word,
// the code and a short English meaning, as the recap and the JSON lines show them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "db/status_read.h"
#include "fleet_result.h"

// What is known of one finished (or killed) run of kestalentry.
struct RunFacts {
  bool killed = false;           // time-out or signal: no exit status
  int exit_status = 0;           // the low byte the caller sees
  std::string last_line;         // literal last line of standard output
  std::optional<StatusRow> row;  // the terminal's row read after the run, if any
};

// Fills outcome, code, meaning, exit_status and last_line of `result`.
void classify_run(const RunFacts& facts, TerminalResult& result);

// Short English texts: a socket or reply code (as TrmDst holds it), and an exit status
// of a run that ended before the terminal stage.
std::string code_meaning(std::int32_t code);
std::string exit_meaning(int exit_status);

// The state of a status row.
State row_state(const StatusRow& row);

// The last line of a run's captured standard output, literally.
std::string last_line_of(std::string_view output);
