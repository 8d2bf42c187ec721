// The fleet pages in a real browser (Debian's headless chromium, from file://): what a
// reader sees, sorting and filtering, hostile names staying text, and a screenshot.
#include <map>

#include "browser.h"
#include "fleet_page.h"
#include "harness/install_tree.h"

namespace fs = std::filesystem;
namespace {

// Would end the data block and run markup if any text reached the page unescaped.
const std::string kHostile = "</script><img src=x onerror=alert(1)>";
// Too long for its column: cut with an ellipsis, whole in its title, the row not taller.
const std::string kLong = "kasse-09-" + std::string(247, 'x');

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
      {kLong, Outcome::kKilled, {}, "killed", {}, "", 6.0, 60.0},
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
               "kasse-06", "kasse-07", "kasse-08", kLong, "kasse\u240910"},
              outcomes(small_push()), true);
  auto cut = split(seen.at("cut"));
  EXPECT_NE(std::find(cut.begin(), cut.end(), kLong), cut.end());
  auto facts = split(seen.at("facts"));
  ASSERT_EQ(facts.size(), 7u);
  EXPECT_EQ(facts[0] + facts[1] + facts[2] + facts[5], "*STOSupervisor \u00c4<b>--like KA%8");
  EXPECT_EQ(split(seen.at("footer"))[0], "Written by kestal-fleet 9.8.7");
}

// A large page: terminals store-0 to store-(n-1) in a shuffled order (7919 is prime), with
// their counts per word, and the first-screen target on this machine in milliseconds.
struct LargePage {
  std::string html;
  std::size_t terminals;
  int first_ms;
  bool timeline;
  std::map<std::string, int> counts;
};

std::string shuffled_name(std::size_t i, std::size_t n) {
  return "store-" + std::to_string(i * 7919 % n);
}

LargePage large_status(std::size_t n) {
  StatusReport r{"", 1796731200, {}};
  LargePage page{"", n, 1000, false, {}};
  for (std::size_t i = 0; i < n; ++i) {
    auto state = static_cast<State>(i % 7 % kStateCount);
    ++page.counts[std::string(word(state))];
    r.entries.push_back({shuffled_name(i, n), state, {}, "ok", "nightly", "20261208143000", {}});
    if (state == State::kFailed) r.entries.back().code = static_cast<std::int32_t>(10050 + i % 9);
    if (state == State::kRunning) r.entries.back().age_seconds = static_cast<std::int64_t>(i);
  }
  page.html = status_page_html(r, "9.8.7");
  return page;
}

LargePage large_push(std::size_t n) {
  PushReport p{"nightly", "*STO", "--like store-%", 1796731200, 900, 64, {}};
  LargePage page{"", n, 500, true, {}};
  for (std::size_t i = 0; i < n; ++i) {
    auto outcome = static_cast<Outcome>(i % 11 % kOutcomeCount);
    ++page.counts[std::string(word(outcome))];
    p.results.push_back(
        {shuffled_name(i, n), outcome, {}, "", 0, "250 OK", i * 0.09, 1.0 + i % 37});
  }
  page.html = push_page_html(p, "9.8.7");
  return page;
}

// 100,000 status rows and a push to 10,000 terminals: the first screen, every sort and
// every filter within three times the targets (the machine is shared), only the rows in
// view in the document, and the counts, the name order and the filter exact.
TEST_F(Browser, LargePagesOpenSortAndFilterQuickly) {
  for (const LargePage& page : {large_status(100000), large_push(10000)}) {
    std::string all = std::to_string(page.terminals);
    SCOPED_TRACE(all + " terminals");
    EXPECT_LT(page.html.size(), 100 * page.terminals + 40000) << "bytes per terminal";
    Probe seen = probe(page.html);
    EXPECT_LT(std::stoi(seen.at("first_ms")), 3 * page.first_ms);
    EXPECT_LT(std::stoi(seen.at("rows")), 200) << "every row was put into the document";
    EXPECT_EQ(seen.at("shown"), all + " of " + all + " shown");
    EXPECT_EQ(seen.at("timeline"), page.timeline ? all : "0");
    auto names = split(seen.at("sort.0.ascending"));
    for (std::size_t i = 0; i < names.size(); ++i)
      EXPECT_EQ(names[i], "store-" + std::to_string(i));
    for (const auto& [key, value] : seen) {
      bool timed = key.rfind("sort_ms.", 0) == 0 || key.rfind("filter_ms.", 0) == 0;
      if (timed) {
        EXPECT_LT(std::stoi(value), 900) << key;
      }
    }
    auto scrolled = seen.at("scrolled");  // rows in view, and the first one's place
    EXPECT_GE(std::stoi(scrolled), 15) << scrolled;
    EXPECT_NEAR(std::stoi(scrolled.substr(scrolled.find(',') + 1)), page.terminals / 2, 50);
    if (!page.timeline) {  // the status page: its stamps come back as they were stored
      for (const auto& v : split(seen.at("sort.5.ascending"))) EXPECT_EQ(v, "2026-12-08 14:30:00");
    }
    for (const auto& [word, count] : page.counts) {
      EXPECT_EQ(seen.at("count." + word), std::to_string(count)) << word;
      EXPECT_EQ(seen.at("shown." + word), std::to_string(count) + " of " + all + " shown");
    }
  }
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
