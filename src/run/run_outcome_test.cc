// The outcome line's fixed form, which a supervising program parses field by field.
#include "run/run_outcome.h"

#include <gtest/gtest.h>

namespace {

RunOutcome failed_arguments() {
  RunOutcome o;
  o.code = 91;
  o.exit = 91;
  return o;
}

RunOutcome refused_entry() {
  RunOutcome o;
  o.stage = "sent";
  o.code = 550;
  o.entries = 3;
  o.sent = 3;
  o.accepted = 2;
  o.start_marked = true;
  o.row = 100;
  return o;
}

RunOutcome database_failure() {
  RunOutcome o;
  o.stage = "database";
  o.code = -1;
  o.exit = -1;
  return o;
}

RunOutcome interrupted_after_value_row() {
  RunOutcome o;
  o.stage = "entries";
  o.step = "value-row";
  o.code = 100;
  o.exit = 100;
  o.signal = 15;  // not a real combination; shows the field's place
  return o;
}

TEST(RunOutcome, LineHoldsEveryFieldInOrder) {
  const struct {
    RunOutcome outcome;
    const char* line;
  } cases[] = {
      {failed_arguments(),
       "kestalentry-outcome stage=arguments step=- code=91 entries=0 sent=0 accepted=0 row=- "
       "signal=0 exit=91\n"},
      {refused_entry(),
       "kestalentry-outcome stage=sent step=- code=550 entries=3 sent=3 accepted=2 row=100 "
       "signal=0 exit=0\n"},
      {database_failure(),
       "kestalentry-outcome stage=database step=- code=-1 entries=0 sent=0 accepted=0 row=- "
       "signal=0 exit=-1\n"},
      {interrupted_after_value_row(),
       "kestalentry-outcome stage=entries step=value-row code=100 entries=0 sent=0 accepted=0 "
       "row=- signal=15 exit=100\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(outcome_line(c.outcome), c.line);
}

}  // namespace
