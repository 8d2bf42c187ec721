// The outcome of one run as a supervising program reads it: one line with the stage
// reached, the failure's code, the entry counts, the start mark, signal and exit status.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct RunOutcome {
  const char* stage = "arguments";  // the furthest stage reached
  const char* step = "-";           // the failed step of the entry table, else "-"
  std::int32_t code = 0;            // 0 when the run ended well, else the failure's code
  std::size_t entries = 0;          // entries in the table
  std::size_t sent = 0;             // UPDSYSDB commands sent
  std::size_t accepted = 0;         // of those, answered with the awaited code
  bool start_marked = false;        // the start mark's update was made
  std::int32_t row = 0;             // its status: 0, 100 (no row) or the failure's code
  int signal = 0;                   // the signal that stopped the run, 0 when none
  std::int32_t exit = 0;            // the process's exit status, whole
};

// "kestalentry-outcome stage=... exit=...\n", every field always present.
std::string outcome_line(const RunOutcome& outcome);
