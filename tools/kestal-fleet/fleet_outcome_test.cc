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
    const char* outcome;
    std::optional<std::int32_t> code;
  } cases[] = {
      {{false, 0, "200 entry accepted", row(std::nullopt)}, "ok", std::nullopt},
      {{false, 0, "", row(10061)}, "unreachable", 10061},
      {{false, 0, kLogin + "10060", row(10060)}, "unreachable", 10060},  // no greeting
      {{false, 0, kLogin + "10060331", row(10060)}, "no-answer", 10060},
      {{false, 0, kLogin + "10054200 ready", row(10054)}, "hung-up", 10054},
      {{false, 0, kLogin + "530530", row(530)}, "login-refused", 530},
      {{false, 0, kLogin + "530530", std::nullopt}, "login-refused", 530},
      {{false, 0, "500", row(500)}, "entry-refused", 500},
      {{false, 0, "200 entry accepted", row(10060)}, "no-answer", 10060},
      {{false, 0, "502", std::nullopt}, "entry-refused", 502},
      {{false, 255, "", std::nullopt}, "setup-failed", 255},
      {{true, 0, "", std::nullopt}, "killed", std::nullopt},
      {{false, 0, "230", row(std::nullopt, 1)}, "setup-failed", std::nullopt},
  };
  for (const Case& c : cases) {
    TerminalResult r;
    classify_run(c.facts, r);
    EXPECT_EQ(r.outcome, c.outcome) << c.facts.last_line;
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
