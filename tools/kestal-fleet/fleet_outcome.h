// What one transfer's outcome line and end mean: the outcome, the code and a short
// English meaning, as the recap and the JSON lines show them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "db/status_read.h"
#include "fleet_result.h"

// The line kestalentry writes to KESTAL_OUTCOME_FD:
// "kestalentry-outcome stage=S step=S code=N entries=N sent=N accepted=N row=R signal=N exit=N".
struct OutcomeLine {
  std::string stage;  // arguments, database, entries, connection, login, sent
  std::string step;   // for entries: mode, lists, definition-file, ...; else "-"
  std::int32_t code = 0;
  long entries = 0;
  long sent = 0;
  long accepted = 0;
  std::optional<std::int32_t> row;  // the start mark's update status; none: "-"
  int signal = 0;
  int exit = 0;
};

// Parses the line (without its line end); none when it does not follow the form.
std::optional<OutcomeLine> parse_outcome_line(std::string_view line);

// What is known of one finished run of kestalentry.
struct RunFacts {
  std::optional<OutcomeLine> line;  // none: the run wrote none (died early, or not started)
  std::optional<int> exit_status;   // none when a signal ended it
  int end_signal = 0;               // the signal that ended it, if any
  bool timed_out = false;           // the push stopped it at --timeout
  bool interrupted = false;         // the push stopped it because it was interrupted
  bool remote = false;              // ran through ssh
  std::string last_line;            // literal last line of standard output
};

// Fills outcome, code, meaning, exit_status, last_line and status_row of `result`.
void classify_run(const RunFacts& facts, TerminalResult& result);

// Short English text for a socket or reply code (as TrmDst holds it).
std::string code_meaning(std::int32_t code);

// The state of a status row: never pushed (TrmDtd NULL), ok, failed, running, unknown.
State row_state(const StatusRow& row);

// The last line of a run's captured standard output, literally.
std::string last_line_of(std::string_view output);
