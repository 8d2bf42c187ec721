// The fleet pages in a real browser (Debian's headless chromium, from file://): what a
// reader sees, sorting and filtering, hostile names staying text, and a screenshot.
#include "browser.h"
#include "fleet_page.h"
#include "harness/install_tree.h"

namespace fs = std::filesystem;
namespace {

const std::string kHostile = "<img src=x onerror=alert(1)>";

PushReport small_push() {
  PushReport p{"Supervisor \xC4<b>", "*STO", "--like KA%", 1796731200, 75.5, 8, {}};
  p.results = {
      {"kasse-01", Outcome::kOk, {}, "ok", 0, "250 OK", 0.0, 2.5},
      {"kasse-02", Outcome::kOk, {}, "ok", 0, "250 OK", 0.1, 3.1},
      {kHostile, Outcome::kUnreachable, 10061, "connection refused", 0, "", 0.2, 0.1},
      {"Kasse M\xFCnchen \x80", Outcome::kLoginRefused, 530, "password refused", 0, "530", 0.3,
       0.4},
      {"kasse-05", Outcome::kEntryRefused, 500, "entry refused", 0, "500 <b>bad</b>", 3.2, 1.0},
      {"kasse-06", Outcome::kHungUp, 10054, "connection closed", 0, "", 3.5, 5.0, "local", 3},
      {"kasse-07", Outcome::kNoAnswer, 10060, "no answer within 30 s", 0, "", 4.0, 30.0},
      {"kasse-08", Outcome::kSetupFailed, 255, "database connection failed", 255, "", 5.0, 0.2},
      {"kasse-09", Outcome::kKilled, {}, "killed", {}, "", 6.0, 60.0},
      {"kasse\t10", Outcome::kOk, {}, "ok", 0, "250 OK", 6.1, 2.0},
  };
  return p;
}

std::vector<std::string> outcomes(const PushReport& p) {
  std::vector<std::string> words;
  for (const auto& r : p.results) words.emplace_back(word(r.outcome));
  return words;
}

}  // namespace

TEST_F(Browser, PushPageShowsEveryTerminalAndSortsAndFilters) {
  Probe seen = probe(push_page_html(small_push(), "9.8.7"));
  expect_page(seen,
              {"kasse-01", "kasse-02", kHostile, "Kasse M\u00fcnchen \u20ac", "kasse-05",
               "kasse-06", "kasse-07", "kasse-08", "kasse-09", "kasse\u240910"},
              outcomes(small_push()), true);
  auto facts = split(seen.at("facts"));
  ASSERT_EQ(facts.size(), 7u);
  EXPECT_EQ(facts[0] + facts[1] + facts[2] + facts[5], "*STOSupervisor \u00c4<b>--like KA%8");
  EXPECT_EQ(split(seen.at("footer"))[0], "Written by kestal-fleet 9.8.7");
}

// Thousands of terminals still open and sort within a few seconds on a loaded machine.
TEST_F(Browser, LargeFleetOpensAndSortsQuickly) {
  PushReport p = small_push();
  for (int i = 0; i < 5000; ++i) {
    p.results.push_back({"store-" + std::to_string(i), static_cast<Outcome>(i % 8), i, "meaning", 0,
                         "250 OK", i * 0.01, 1.0 + i % 37});
  }
  Probe seen = probe(push_page_html(p, "9.8.7"));
  EXPECT_EQ(seen.at("rows"), "5010");
  EXPECT_LT(std::stoi(seen.at("load_ms")), 10000);
  for (int i = 0; i < 7; ++i) EXPECT_LT(std::stoi(seen.at("sort_ms." + std::to_string(i))), 3000);
}

TEST_F(Browser, ScreenshotShowsThePage) {
  fs::path shot = dir_ / "shot.png";
  chromium(push_page_html(small_push(), "9.8.7"),
           {"--screenshot=" + shot.string(), "--window-size=1200,1500", "--hide-scrollbars"});
  std::string png = read_whole_file(shot);
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  auto be32 = [&](std::size_t at) {
    return (static_cast<unsigned char>(png[at]) << 24) |
           (static_cast<unsigned char>(png[at + 1]) << 16) |
           (static_cast<unsigned char>(png[at + 2]) << 8) | static_cast<unsigned char>(png[at + 3]);
  };
  EXPECT_EQ(be32(16), 1200);
  EXPECT_EQ(be32(20), 1500);
  EXPECT_GT(png.size(), 40000u) << "a nearly blank screenshot";
}
