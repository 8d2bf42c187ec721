// The outcome rules on the facts a run leaves: exit status, last line, status row.
#include "fleet_outcome.h"

#include <gtest/gtest.h>

namespace {

StatusRow row(std::optional<std::int32_t> code, int active = 0) {
  StatusRow r;
  r.code = code;
  r.active = active;
  return r;
}

const std::string kLogin = "Anmeldung an Term. fehlgeschlagen, Fehler ";

TEST(FleetOutcome, ClassifiesByStageAndCode) {
  struct Case {
    RunFacts facts;
    Outcome outcome;
    std::optional<std::int32_t> code;
  } cases[] = {
      {{false, 0, "200 entry accepted", row(std::nullopt)}, Outcome::kOk, std::nullopt},
      {{false, 0, "", row(10061)}, Outcome::kUnreachable, 10061},
      {{false, 0, kLogin + "10060", row(10060)}, Outcome::kUnreachable, 10060},  // no greeting
      {{false, 0, kLogin + "10060331", row(10060)}, Outcome::kNoAnswer, 10060},
      {{false, 0, kLogin + "10054200 ready", row(10054)}, Outcome::kHungUp, 10054},
      {{false, 0, kLogin + "530530", row(530)}, Outcome::kLoginRefused, 530},
      {{false, 0, kLogin + "530530", std::nullopt}, Outcome::kLoginRefused, 530},
      {{false, 0, "500", row(500)}, Outcome::kEntryRefused, 500},
      {{false, 0, "200 entry accepted", row(10060)}, Outcome::kNoAnswer, 10060},
      {{false, 0, "502", std::nullopt}, Outcome::kEntryRefused, 502},
      {{false, 255, "", std::nullopt}, Outcome::kSetupFailed, 255},
      {{true, 0, "", std::nullopt}, Outcome::kKilled, std::nullopt},
      {{false, 0, "230", row(std::nullopt, 1)}, Outcome::kSetupFailed, std::nullopt},
  };
  for (const Case& c : cases) {
    TerminalResult r;
    classify_run(c.facts, r);
    EXPECT_EQ(word(r.outcome), word(c.outcome)) << c.facts.last_line;
    EXPECT_EQ(r.code, c.code) << c.facts.last_line;
    EXPECT_EQ(r.exit_status.has_value(), !c.facts.killed);
  }
}

TEST(FleetOutcome, LastLineIsTheLiteralLastLine) {
  EXPECT_EQ(last_line_of("a\nb\n"), "b");
  EXPECT_EQ(last_line_of("a\nb"), "b");
  EXPECT_EQ(last_line_of("a\n\n"), "");
  EXPECT_EQ(last_line_of(""), "");
}

}  // namespace
