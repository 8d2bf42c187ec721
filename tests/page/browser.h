// Loads fleet pages in Debian's headless chromium from file:// and reports what a small
// probe script, run by the page, saw: rows, chart numbers, sorting and filtering.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

using Probe = std::map<std::string, std::string>;

class Browser : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Runs chromium on the page with `args`; fails the test on any message the page logs.
  std::string chromium(const std::string& html, std::vector<std::string> args);
  // Loads the page with the probe script appended and returns what the probe saw.
  Probe probe(std::string html);

  std::filesystem::path dir_;
};

// The probe's lists: URI-encoded values joined by '|' (empty values kept).
std::vector<std::string> split(const std::string& list);

// What every page must show: one row per terminal in order, names as the characters
// they stand for, the counts per word on the chart, and working filters and sorting.
void expect_page(const Probe& seen, const std::vector<std::string>& names,
                 const std::vector<std::string>& words, bool timeline);
