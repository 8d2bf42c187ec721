// The test fixture of the entry table assembly, shared by the unit tests on rows in
// memory and the tests against PostgreSQL: a working folder of its own holding the
// entry definition file, the run log and the console, and the table built from rows().
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "entries/entry_table.h"

using Items = std::vector<std::string>;

// One field of every entry, in order.
inline Items items_of(const EntryTable& table, std::string Entry::*field) {
  Items items;
  for (const Entry& entry : table) items.push_back(entry.*field);
  return items;
}

class EntryTableFixture : public ::testing::Test {
 protected:
  virtual RowSource& rows() = 0;

  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::filesystem::temp_directory_path() /
              ("kestal-entries-" + std::to_string(getpid()) + "-" + info->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    saved_ = std::filesystem::current_path();
    std::filesystem::current_path(folder_);
    report_.log = RunLog{(folder_ / "run.log").string(), (folder_ / "run.bak").string()};
    report_.console.capture = &console_;
  }
  void TearDown() override {
    if (!saved_.empty()) std::filesystem::current_path(saved_);
    std::filesystem::remove_all(folder_);
  }

  void write_definitions(const std::string& text) {
    std::ofstream(folder_ / ("KESTALENTRY." + system_ + ".INI"), std::ios::binary) << text;
  }
  std::int32_t build(const std::string& mode, bool verbose = false,
                     const std::string& terminal = "t1") {
    run_.mode = mode;
    run_.terminal_name = terminal;
    run_.verbose = report_.verbose = verbose;
    table_ = EntryTable{};
    failed_ = EntryStep::kNone;
    return build_entry_table(table_, EntrySources{rows(), run_, system_, report_}, failed_);
  }
  static std::string read_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string log() const { return read_text(folder_ / "run.log"); }

  std::filesystem::path folder_, saved_;
  EntryRequest run_;
  std::string system_ = "TEST";
  std::string console_;
  Report report_;
  EntryTable table_;
  EntryStep failed_ = EntryStep::kNone;
};
