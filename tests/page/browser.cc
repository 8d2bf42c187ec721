// The browser side of the page tests: chromium started with a fresh profile and no
// network features, and the checks every page must pass.
#include "browser.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "harness/install_tree.h"
#include "harness/process.h"

namespace fs = std::filesystem;
namespace {

const std::string kChromium = "/usr/bin/chromium";

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

void Browser::SetUp() {
  if (!fs::exists(kChromium))
    GTEST_SKIP() << "chromium is not installed (apt-get install chromium)";
  dir_ =
      fs::temp_directory_path() / ("kestal-page-" + std::to_string(getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::create_directories(dir_);
}
void Browser::TearDown() {
  if (!dir_.empty()) fs::remove_all(dir_);
}

std::string Browser::chromium(const std::string& html, std::vector<std::string> args) {
  fs::path page = dir_ / "page.html";
  std::ofstream(page, std::ios::binary) << html;
  // Each link of the chain dies with its parent, so a test that is killed leaves no
  // browser behind: setpriv, timeout, setpriv, chromium.
  std::vector<std::string> all = {"--pdeathsig",
                                  "KILL",
                                  "/usr/bin/timeout",
                                  "120",
                                  "/usr/bin/setpriv",
                                  "--pdeathsig",
                                  "KILL",
                                  kChromium,
                                  "--user-data-dir=" + (dir_ / "p").string()};
  for (const char* flag : {"--headless", "--disable-gpu", "--disable-quic", "--no-first-run",
                           "--disable-background-networking", "--disable-component-update",
                           "--disable-sync", "--enable-logging=stderr", "--v=0"}) {
    all.emplace_back(flag);
  }
  if (geteuid() == 0) all.push_back("--no-sandbox");
  all.insert(all.end(), args.begin(), args.end());
  all.push_back("file://" + page.string());
  ProcessResult r = run_process("/usr/bin/setpriv", all, dir_.string());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  std::istringstream lines(r.err);  // the browser's own pages log too: only the file counts
  for (std::string line; std::getline(lines, line);) {
    EXPECT_FALSE(line.find(":CONSOLE") != std::string::npos &&
                 line.find("source: file://") != std::string::npos)
        << line;
  }
  return r.out;
}

Probe Browser::probe(std::string html) {
  auto nonce_at = html.find("'nonce-") + 7;
  std::string nonce = html.substr(nonce_at, html.find('\'', nonce_at) - nonce_at);
  std::string tag = "<script nonce=\"" + nonce + "\">";
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

void expect_page(const Probe& seen, const std::vector<std::string>& names,
                 const std::vector<std::string>& words, bool timeline) {
  EXPECT_EQ(split(seen.at("first")), names);
  EXPECT_EQ(seen.at("rows"), std::to_string(names.size()));
  EXPECT_EQ(seen.at("timeline"), timeline ? std::to_string(names.size()) : "0");
  EXPECT_EQ(seen.at("heights"), "1") << "a row wraps";
  EXPECT_EQ(seen.at("img"), "0");
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
