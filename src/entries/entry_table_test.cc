// The rules of the entry table assembly on rows held in memory: how the value
// statement is made from the file and the terminal name, and what each cursor
// status makes of the table. What a real server runs is in tests/entry_table_pg_test.cc.
#include "entries/entry_table.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Items = std::vector<std::string>;

// Rows held in memory: one value row (or none), statuses to report, and the
// statement the assembly asked for.
struct MemoryRows final : RowSource {
  Items values;
  bool has_row = true;
  std::int32_t open_status = 0;
  SqlStatement asked;

  std::int32_t query_open(const SqlStatement& statement) override {
    asked = statement;
    return open_status;
  }
  std::int32_t query_fetch_row(QueryRow& row) override {
    if (!has_row) return 100;
    row.column_count = static_cast<std::int32_t>(values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
      std::strncpy(row.columns[i], values[i].c_str(), kColumnBytes - 1);
    return 0;
  }
  std::int32_t query_close() override { return 0; }
  std::int32_t site_cursor_open() override { return 0; }
  std::int32_t site_cursor_fetch(std::string&) override { return 100; }
  std::int32_t site_cursor_close() override { return 0; }
};

Items items_of(const StringListRef& list) {
  return list ? Items(list->items.begin(), list->items.begin() + list->count) : Items{};
}

class Assembly : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("kestal-assembly-" + std::to_string(getpid()));
    fs::create_directories(folder_);
    saved_ = fs::current_path();
    fs::current_path(folder_);
    report_.log = RunLog{(folder_ / "run.log").string(), (folder_ / "run.bak").string()};
    report_.console.capture = &console_;
  }
  void TearDown() override {
    fs::current_path(saved_);
    fs::remove_all(folder_);
  }
  std::int32_t build(const std::string& mode, const std::string& file,
                     const std::string& terminal = "t1") {
    std::ofstream(folder_ / "KESTALENTRY.MEM.INI", std::ios::binary) << file;
    run_.mode = mode;
    run_.terminal_name = terminal;
    table_ = EntryTable{};
    return build_entry_table(table_, EntrySources{rows_, run_, system_, report_});
  }

  fs::path folder_, saved_;
  MemoryRows rows_;
  RunContext run_;
  std::string system_ = "MEM";
  std::string console_;
  Report report_;
  EntryTable table_;
};

const char kNames[] = "[TYPE]\nTYP001=STRING,STRING\n[NAME]\nNAM001=A,B\n";

TEST_F(Assembly, TheTerminalNameFillsTheParameter) {
  struct Case {
    std::string sql, terminal, text;
    Items bound;
  };
  const Case cases[] = {
      {"SELECT '$parm01$parm01', '$parm01'", "ab", " SELECT 'abab', 'ab' ", {}},
      {"SELECT '$parm01'", "t$parm01", " SELECT 't$parm01' ", {}},  // not searched again
      {"SELECT '$parm01'", "o'k", " SELECT 'o''k' ", {}},
      {"SELECT x FROM t WHERE n = '$parm01'", "a\\'b", " SELECT x FROM t WHERE n = ? ", {"a\\'b"}},
      {"SELECT 'x$parm01', '$parm01'", "a\\b", " SELECT 'xa\\b', ? ", {"a\\b"}},
      {"SELECT '''$parm01'''", "a\\b", " SELECT '''a\\b''' ", {}},  // not a literal of its own
      {"SELECT $parm01", "a\\b", " SELECT a\\b ", {}},
  };
  rows_.values = {"v", "w"};
  for (const Case& c : cases) {
    ASSERT_EQ(build("*GEN", "[REGVAL]\nSQL001=" + c.sql + "\n" + kNames, c.terminal), 0) << c.sql;
    EXPECT_EQ(rows_.asked.text, c.text);
    EXPECT_EQ(rows_.asked.parameters, c.bound) << c.sql;
  }
}

TEST_F(Assembly, CursorStatusesShapeTheTable) {
  const std::string file = "[REGVAL]\nSQL001=SELECT 1\nSQL003=lost\n" + std::string(kNames);
  rows_.values = {" v1 ", "v\"2"};
  ASSERT_EQ(build("*GEN", file), 0);
  EXPECT_EQ(rows_.asked.text, " SELECT 1 ");
  EXPECT_EQ(items_of(table_.values), (Items{"v1", "v\"2"}));
  EXPECT_EQ(items_of(table_.names), (Items{"A", "B"}));

  rows_.has_row = false;
  EXPECT_EQ(build("*GEN", file), 100);
  EXPECT_EQ(table_.types, nullptr);

  rows_.open_status = -1;
  console_.clear();
  EXPECT_EQ(build("*GEN", file), -1);
  EXPECT_EQ(console_, "DbTabelle kann nicht geoeffnet werden, Fehler : -1\n");

  EXPECT_EQ(build("*GEN", "[REGVAL]\nSQL002=SELECT 1\n"), 3);
  system_ = "../MEM";
  EXPECT_EQ(build("*GEN", file), 3);
}

}  // namespace
