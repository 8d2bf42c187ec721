// The outcome rules on what a run reports: its outcome line, or its end without one.
#include "fleet_outcome.h"

#include <gtest/gtest.h>

namespace {

RunFacts ran(const std::string& line, int exit = 0) {
  RunFacts f;
  f.line = parse_outcome_line("kestalentry-outcome " + line);
  EXPECT_TRUE(f.line) << line;
  f.exit_status = exit;
  return f;
}

TEST(FleetOutcome, ClassifiesByStageAndCode) {
  const std::string counts = " entries=5 sent=5 accepted=5 row=100 signal=0 exit=0";
  struct Case {
    RunFacts facts;
    Outcome outcome;
    std::optional<std::int32_t> code;
    const char* meaning_holds;
  } cases[] = {
      // No status row and a refused entry: the row plays no part.
      {ran("stage=sent step=- code=500 entries=5 sent=3 accepted=2 row=100 signal=0 exit=0"),
       Outcome::kEntryRefused, 500, "500"},
      {ran("stage=sent step=- code=0" + counts), Outcome::kOk, std::nullopt, "ok"},
      {ran("stage=sent step=- code=0 entries=0 sent=0 accepted=0 row=0 signal=0 exit=0"),
       Outcome::kOk, std::nullopt, "ok"},
      {ran("stage=connection step=- code=10061" + counts), Outcome::kUnreachable, 10061, "refused"},
      {ran("stage=connection step=- code=11001" + counts), Outcome::kUnreachable, 11001,
       "not found"},
      {ran("stage=login step=- code=10060" + counts), Outcome::kNoAnswer, 10060, "no answer"},
      {ran("stage=login step=- code=10054" + counts), Outcome::kHungUp, 10054, "closed"},
      {ran("stage=login step=- code=530" + counts), Outcome::kLoginRefused, 530, "password"},
      {ran("stage=sent step=- code=10035" + counts), Outcome::kNoAnswer, 10035, "no answer"},
      {ran("stage=arguments step=- code=91" + counts, 91), Outcome::kSetupFailed, 91, "argument"},
      {ran("stage=database step=- code=-1" + counts, 255), Outcome::kSetupFailed, 255,
       "database connection"},
      {ran("stage=entries step=site-table code=-1" + counts, 255), Outcome::kSetupFailed, 255,
       "VXS113STO"},
      {ran("stage=entries step=value-row code=100" + counts, 100), Outcome::kSetupFailed, 100,
       "no row"},
      {ran("stage=sent step=- code=10004 entries=5 sent=2 accepted=2 row=0 signal=15 exit=0"),
       Outcome::kKilled, std::nullopt, "signal 15"},
  };
  for (const Case& c : cases) {
    TerminalResult r;
    classify_run(c.facts, r);
    EXPECT_EQ(word(r.outcome), word(c.outcome)) << c.meaning_holds;
    EXPECT_EQ(r.code, c.code) << c.meaning_holds;
    EXPECT_NE(r.meaning.find(c.meaning_holds), std::string::npos) << r.meaning;
  }
}

TEST(FleetOutcome, RunsWithoutALineAreNeverOk) {
  RunFacts facts[4];
  facts[1].exit_status = 0;
  facts[2].exit_status = 0;
  facts[2].timed_out = true;
  facts[3].exit_status = 255;
  facts[3].remote = true;
  facts[0].end_signal = 9;
  const Outcome want[] = {Outcome::kKilled, Outcome::kSetupFailed, Outcome::kKilled,
                          Outcome::kSetupFailed};
  for (int i = 0; i < 4; ++i) {
    TerminalResult r;
    classify_run(facts[i], r);
    EXPECT_EQ(word(r.outcome), word(want[i])) << i;
  }
}

TEST(FleetOutcome, RefusesMalformedLines) {
  for (const char* line :
       {"kestalentry-outcome stage=sent step=- code=0 entries=1 sent=1 accepted=1 row=0 signal=0",
        "kestalentry-outcome stage=sent step=- code=x entries=1 sent=1 accepted=1 row=0 signal=0 "
        "exit=0",
        "kestalentry-outcome step=- stage=sent code=0 entries=1 sent=1 accepted=1 row=0 signal=0 "
        "exit=0",
        "kestalentry-outcome stage=sent step=- code=0 entries=1 sent=1 accepted=1 row=0 signal=0 "
        "exit=0 more=1"})
    EXPECT_FALSE(parse_outcome_line(line)) << line;
  EXPECT_FALSE(parse_outcome_line("").has_value());
}

TEST(FleetOutcome, LastLineIsTheLiteralLastLine) {
  EXPECT_EQ(last_line_of("a\nb\n"), "b");
  EXPECT_EQ(last_line_of("a\nb"), "b");
  EXPECT_EQ(last_line_of("a\n\n"), "");
  EXPECT_EQ(last_line_of(""), "");
}

}  // namespace
