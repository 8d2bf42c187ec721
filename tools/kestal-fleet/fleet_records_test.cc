// The history's own names (the only files it ever removes) and the label escaping of
// the metrics, whatever bytes a name holds.
#include <gtest/gtest.h>

#include "fleet_history.h"
#include "fleet_metrics.h"

namespace {

TEST(FleetHistory, TakesOnlyItsOwnNames) {
  const std::pair<std::string, int> stamp = {"20261208T223000Z", 1};
  struct Case {
    const char* name;
    std::optional<std::pair<std::string, int>> key;
  } cases[] = {
      {"push-20261208T223000Z.json", stamp},
      {"push-20261208T223000Z.html", stamp},
      {"push-20261208T223000Z-12.json", std::make_pair(stamp.first, 12)},
      {"latest.json", std::nullopt},
      {"push-20261208T223000Z.json.bak", std::nullopt},
      {"push-20261208T223000Z-02.json", std::nullopt},
      {"push-20261208T223000Z-.json", std::nullopt},
      {"push-20261208X223000Z.json", std::nullopt},
      {"push-2026120T8223000Z.html", std::nullopt},
      {"push-20261208T223000Z.txt", std::nullopt},
      {".push-20261208T223000Z.json.Ab12Cd", std::nullopt},
      {"push-.json", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(history_key(c.name), c.key) << c.name;
  // Later pushes of one second sort after it, past -9 too.
  EXPECT_LT(history_key("push-20261208T223000Z-9.json"),
            history_key("push-20261208T223000Z-10.json"));
}

TEST(FleetMetrics, LabelValuesAreEscapedUtf8) {
  const std::pair<std::string, std::string> cases[] = {
      {"ST04", "ST04"},
      {"a\"b", "a\\\"b"},
      {"a\\nb", "a\\\\nb"},
      {"a\nb", "a\\nb"},
      {"Caf\xE9 \x80", "Caf\xC3\xA9 \xE2\x82\xAC"},
      {"tab\tcr\r", "tab\tcr\r"},
  };
  for (const auto& [bytes, want] : cases) EXPECT_EQ(metric_label_value(bytes), want) << bytes;
}

TEST(FleetMetrics, StatusCountsEveryStateAndNamesTheOldestRunningMark) {
  StatusReport report{"--like ST%", 1700000000, {}};
  report.entries.push_back({"a", State::kRunning, std::nullopt, "", "", "", 50});
  report.entries.push_back({"old\"one", State::kRunning, std::nullopt, "", "", "", 900});
  report.entries.push_back({"c", State::kFailed, 10061, "connection refused", "", "", {}});
  std::string text = status_metrics(report);
  for (const char* line :
       {"kestal_fleet_terminals{selection=\"--like ST%\",state=\"running\"} 2\n",
        "kestal_fleet_terminals{selection=\"--like ST%\",state=\"never\"} 0\n",
        "kestal_fleet_failed_terminals{selection=\"--like ST%\",code=\"10061\","
        "meaning=\"connection refused\"} 1\n",
        "kestal_fleet_oldest_running_age_seconds{selection=\"--like ST%\"} 900\n",
        "kestal_fleet_oldest_running_info{selection=\"--like ST%\",terminal=\"old\\\"one\"} 1\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\nin\n" << text;
}

}  // namespace
