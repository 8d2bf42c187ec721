// The outcome line: fixed field order, numbers in decimal, "-" for a step or start
// mark that does not apply.
#include "run/run_outcome.h"

std::string outcome_line(const RunOutcome& outcome) {
  using std::to_string;
  std::string line = "kestalentry-outcome stage=";
  line += outcome.stage;
  line += " step=";
  line += outcome.step;
  line += " code=" + to_string(outcome.code) + " entries=" + to_string(outcome.entries) +
          " sent=" + to_string(outcome.sent) + " accepted=" + to_string(outcome.accepted) +
          " row=" + (outcome.start_marked ? to_string(outcome.row) : "-") +
          " signal=" + to_string(outcome.signal) + " exit=" + to_string(outcome.exit) + "\n";
  return line;
}
