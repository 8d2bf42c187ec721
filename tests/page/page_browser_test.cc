// The fleet pages in a real browser (Debian's headless chromium, from file://): what a
// reader sees, sorting and filtering, hostile names staying text, and a screenshot.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "fleet_page.h"
#include "harness/install_tree.h"
#include "harness/process.h"

namespace fs = std::filesystem;
namespace {

const std::string kChromium = "/usr/bin/chromium";
const std::string kHostile = "<img src=x onerror=alert(1)>";
using Probe = std::map<std::string, std::string>;

class Browser : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kChromium))
      GTEST_SKIP() << "chromium is not installed (apt-get install chromium)";
    dir_ = fs::temp_directory_path() /
           ("kestal-page-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs chromium on a page file; fails the test on any message the page logs.
  std::string chromium(const std::string& html, std::vector<std::string> args) {
    fs::path page = dir_ / "page.html";
    std::ofstream(page, std::ios::binary) << html;
    std::vector<std::string> all = {"120", kChromium, "--user-data-dir=" + (dir_ / "p").string()};
    for (const char* flag : {"--headless", "--disable-gpu", "--disable-quic", "--no-first-run",
                             "--disable-background-networking", "--disable-component-update",
                             "--disable-sync", "--enable-logging=stderr", "--v=0"}) {
      all.emplace_back(flag);
    }
    if (geteuid() == 0) all.push_back("--no-sandbox");
    all.insert(all.end(), args.begin(), args.end());
    all.push_back("file://" + page.string());
    ProcessResult r = run_process("/usr/bin/timeout", all, dir_.string());
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::istringstream lines(r.err);  // the browser's own pages log too: only the file counts
    for (std::string line; std::getline(lines, line);) {
      EXPECT_FALSE(line.find(":CONSOLE") != std::string::npos &&
                   line.find("source: file://") != std::string::npos)
          << line;
    }
    return r.out;
  }

  // Loads the page with the probe script appended and returns what the probe saw.
  Probe probe(std::string html) {
    auto nonce_at = html.find("'nonce-") + 7;
    std::string nonce = html.substr(nonce_at, html.find('\'', nonce_at) - nonce_at);
    std::string tag = "<script nonce=\"" + nonce + "\">";
    html.insert(html.find("</title>"),
                "</title>" + tag +
                    "window.probeAlerts=0;"
                    "window.alert=()=>window.probeAlerts++;</script><title>");
    html.insert(html.rfind("</body>"), tag + read_whole_file(KESTAL_PAGE_PROBE) + "</script>");
    std::string dom = chromium(html, {"--dump-dom"});
    auto from = dom.find("<pre id=\"probe\">");
    EXPECT_NE(from, std::string::npos) << "the probe did not finish:\n" << dom.substr(0, 2000);
    Probe seen;
    std::istringstream lines(from == std::string::npos ? "" : dom.substr(from + 16));
    for (std::string line; std::getline(lines, line) && line.rfind("</pre>", 0) != 0;) {
      auto eq = line.find('=');
      if (eq != std::string::npos)
        seen[line.substr(0, eq)] = line.substr(eq + 1, line.find("</pre>") - eq - 1);
    }
    return seen;
  }
  fs::path dir_;
};

// The probe's lists: URI-encoded values joined by '|' (empty values kept).
std::vector<std::string> split(const std::string& list) {
  std::vector<std::string> values(1);
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i] == '|') {
      values.emplace_back();
    } else if (list[i] == '%' && i + 2 < list.size()) {
      values.back() += static_cast<char>(std::stoi(list.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      values.back() += list[i];
    }
  }
  return values;
}

// Every column sorts both ways, keeping all rows; numbers by value, words by bytes.
void expect_sorting(const Probe& seen, int columns, const std::vector<std::string>& column1) {
  for (int i = 0; i < columns; ++i) {
    std::string at = "sort." + std::to_string(i);
    auto up = split(seen.at(at + ".ascending"));
    auto down = split(seen.at(at + ".descending"));
    ASSERT_EQ(up.size(), down.size());
    std::reverse(down.begin(), down.end());
    if (seen.at("numeric." + std::to_string(i)) == "true") {
      for (const auto* order : {&up, &down}) {
        std::vector<double> values;
        for (const auto& v : *order) values.push_back(v.empty() ? -INFINITY : std::stod(v));
        EXPECT_TRUE(std::is_sorted(values.begin(), values.end())) << at;
      }
    }
    EXPECT_TRUE(std::is_permutation(up.begin(), up.end(), down.begin())) << at;
  }
  auto words = split(seen.at("sort.1.ascending"));
  auto expected = column1;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(words, expected);
}

}  // namespace

namespace {

// What every page must show: one row per terminal in order, names as the characters
// they stand for, the counts per word on the chart, and working filters and sorting.
void expect_page(const Probe& seen, const std::vector<std::string>& names,
                 const std::vector<std::string>& words, bool timeline) {
  EXPECT_EQ(split(seen.at("first")), names);
  EXPECT_EQ(seen.at("rows"), std::to_string(names.size()));
  EXPECT_EQ(seen.at("timeline"), timeline ? std::to_string(names.size()) : "0");
  EXPECT_EQ(seen.at("img"), "0");
  EXPECT_EQ(seen.at("alerts"), "0");
  EXPECT_EQ(seen.at("resources"), "0");
  EXPECT_EQ(seen.at("filter_shown"), "true");
  int columns = 0;
  while (seen.count("numeric." + std::to_string(columns)) != 0) ++columns;
  EXPECT_GE(columns, 7);
  for (const auto& word : words) {
    auto n = std::to_string(std::count(words.begin(), words.end(), word));
    EXPECT_EQ(seen.at("count." + word), n) << word;
    EXPECT_EQ(seen.at("filter." + word), n + "," + (timeline ? n : "0")) << word;
  }
  expect_sorting(seen, columns, words);
}

PushReport small_push() {
  PushReport p{"Supervisor \xC4<b>", "*STO", "--like KA%", 1796731200, 75.5, 8, {}};
  p.results = {
      {"kasse-01", "ok", {}, "ok", 0, "250 OK", 0.0, 2.5},
      {"kasse-02", "ok", {}, "ok", 0, "250 OK", 0.1, 3.1},
      {kHostile, "unreachable", 10061, "connection refused", 0, "", 0.2, 0.1},
      {"Kasse M\xFCnchen \x80", "login-refused", 530, "password refused", 0, "530", 0.3, 0.4},
      {"kasse-05", "entry-refused", 500, "entry refused", 0, "500 <b>bad</b>", 3.2, 1.0},
      {"kasse-06", "hung-up", 10054, "connection closed", 0, "", 3.5, 5.0, "local", 3},
      {"kasse-07", "no-answer", 10060, "no answer within 30 s", 0, "", 4.0, 30.0},
      {"kasse-08", "setup-failed", 255, "database connection failed", 255, "", 5.0, 0.2},
      {"kasse-09", "killed", {}, "killed", {}, "", 6.0, 60.0},
      {"kasse\t10", "ok", {}, "ok", 0, "250 OK", 6.1, 2.0},
  };
  return p;
}

std::vector<std::string> outcomes(const PushReport& p) {
  std::vector<std::string> words;
  for (const auto& r : p.results) words.push_back(r.outcome);
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

TEST_F(Browser, StatusPageListsRunningRowsOldestFirst) {
  StatusReport s{"--all", 1796731200, {}};
  s.entries = {
      {"kasse-01", "ok", {}, "ok", "ops", "20261208120000", {}},
      {"kasse-02",
       "failed",
       10061,
       "connection refused",
       "<script>alert(2)</script>",
       "20261208120500",
       {}},
      {"kasse-03", "failed", 10061, "connection refused", "ops", "20261208120600", {}},
      {"kasse-04", "failed", 530, "password refused", "ops", "20261208120700", {}},
      {kHostile, "running", {}, "", "ops", "20261208125900", 60},
      {"kasse-06", "running", {}, "", "ops", "20261208110000", 7200},
      {"kasse-07", "unknown", {}, "", "", "", {}},
  };
  Probe seen = probe(status_page_html(s, "9.8.7"));
  std::vector<std::string> names, states;
  for (const auto& e : s.entries) names.push_back(e.terminal), states.push_back(e.state);
  expect_page(seen, names, states, false);
  EXPECT_EQ(split(seen.at("running")), (std::vector<std::string>{"kasse-06", kHostile}));
}

// Thousands of terminals still open and sort within a few seconds on a loaded machine.
TEST_F(Browser, LargeFleetOpensAndSortsQuickly) {
  PushReport p = small_push();
  for (int i = 0; i < 5000; ++i) {
    p.results.push_back({"store-" + std::to_string(i), std::string(kOutcomeWords[i % 8]), i,
                         "meaning", 0, "250 OK", i * 0.01, 1.0 + i % 37});
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
