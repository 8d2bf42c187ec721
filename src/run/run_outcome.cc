// The outcome line: fixed field order, numbers in decimal, "-" for a step or start
// mark that does not apply.
#include "run/run_outcome.h"

#include "log/format.h"

std::string outcome_line(const RunOutcome& outcome) {
  std::string row = outcome.start_marked ? std::to_string(outcome.row) : "-";
  return text_printf(
      "kestalentry-outcome stage=%s step=%s code=%d entries=%zu sent=%zu accepted=%zu row=%s "
      "signal=%d exit=%d\n",
      outcome.stage, outcome.step, static_cast<int>(outcome.code), outcome.entries, outcome.sent,
      outcome.accepted, row.c_str(), outcome.signal, static_cast<int>(outcome.exit));
}
