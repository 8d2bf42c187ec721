// The rules of the entry table assembly on rows held in memory: how the value
// statement is made from the file and the terminal name, and what each cursor
// status makes of the table. What a real server runs is in tests/entry_table_pg_test.cc.
#include "entries/entry_table.h"

#include <gtest/gtest.h>

#include <cstring>

#include "entries/entry_table_fixture.h"

namespace {

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

class Assembly : public EntryTableFixture {
 protected:
  RowSource& rows() override { return rows_; }
  MemoryRows rows_;
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
    write_definitions("[REGVAL]\nSQL001=" + c.sql + "\n" + kNames);
    ASSERT_EQ(build("*GEN", false, c.terminal), 0) << c.sql;
    EXPECT_EQ(rows_.asked.text, c.text);
    EXPECT_EQ(rows_.asked.parameters, c.bound) << c.sql;
  }
}

TEST_F(Assembly, CursorStatusesShapeTheTable) {
  write_definitions("[REGVAL]\nSQL001=SELECT 1\nSQL003=lost\n" + std::string(kNames));
  rows_.values = {" v1 ", "v\"2"};
  ASSERT_EQ(build("*GEN"), 0);
  EXPECT_EQ(rows_.asked.text, " SELECT 1 ");
  EXPECT_EQ(items_of(table_, &Entry::value), (Items{"v1", "v\"2"}));
  EXPECT_EQ(items_of(table_, &Entry::name), (Items{"A", "B"}));

  rows_.has_row = false;
  EXPECT_EQ(build("*GEN"), 100);
  EXPECT_TRUE(table_.empty());
  EXPECT_EQ(failed_, EntryStep::kValueRow);

  rows_.open_status = -1;
  console_.clear();
  EXPECT_EQ(build("*GEN"), -1);
  EXPECT_EQ(console_, "DbTabelle kann nicht geoeffnet werden, Fehler : -1\n");
  EXPECT_EQ(failed_, EntryStep::kValueStatement);

  system_ = "../TEST";
  EXPECT_EQ(build("*GEN"), 3);
  EXPECT_EQ(failed_, EntryStep::kDefinitionFile);
}

TEST_F(Assembly, TypesAndNamesJoinAcrossKeys) {
  rows_.values = {"v1", " v2 ", "v,3"};
  write_definitions(
      "[REGVAL]\nSQL001=SELECT 'v1', ' v2 ', 'v,3'\n"
      "[TYPE]\nTYP001=\"STRING\",\"DWORD\"\nTYP002=BINARY\nTYP004=LOST\n"
      "[NAME]\nNAM001=N1\nNAM002=N2\nNAM003=\"N 3\"\n");
  ASSERT_EQ(0, build("*GEN"));
  EXPECT_EQ((Items{"v1", "v2", "v,3"}), items_of(table_, &Entry::value));
  EXPECT_EQ((Items{"STRING", "DWORD", "BINARY"}), items_of(table_, &Entry::type));
  EXPECT_EQ((Items{"N1", "N2", "N 3"}), items_of(table_, &Entry::name));
}

TEST_F(Assembly, UnequalCountsFailAfterAllListsWereBuilt) {
  rows_.values = {"a", "b", "c"};
  write_definitions(
      "[REGVAL]\nSQL001=SELECT 'a', 'b', 'c'\n"
      "[TYPE]\nTYP001=STRING,STRING\n[NAME]\nNAM001=A,B,C\n");
  EXPECT_EQ(91, build("*GEN"));
  EXPECT_TRUE(table_.empty());
  EXPECT_EQ(failed_, EntryStep::kLists);
  EXPECT_EQ(
      "allgemeine Eintr\xE4"
      "ge (*GEN) :\n\n"
      "\n FEHLENDER PARAMETER IN INI-DATEI !!\n\n",
      log());
  EXPECT_EQ("", console_);  // the console hears of it only with /D
}

TEST_F(Assembly, SectionsWithoutTextGiveThree) {
  rows_.values = {"a"};
  // No file at all: every key reads as empty.
  EXPECT_EQ(3, build("*GEN"));
  EXPECT_EQ(failed_, EntryStep::kDefinitionFile);

  write_definitions("[REGVAL]\nSQL001=\nSQL002=SELECT 1\n");
  EXPECT_EQ(3, build("*GEN"));

  write_definitions("[REGVAL]\nSQL001=SELECT 'a'\n[TYPE]\nTYP001=STRING\n[NAME]\nNAM002=A\n");
  EXPECT_EQ(3, build("*GEN"));
  EXPECT_TRUE(table_.empty());
  EXPECT_EQ(failed_, EntryStep::kDefinitionFile);
  EXPECT_EQ("", console_);
}

TEST_F(Assembly, SectionsEndAfterKeyNineHundredNinetyNine) {
  rows_.values = {"a"};
  std::string text = "[REGVAL]\nSQL001=SELECT 'a'\n[TYPE]\n";
  for (int n = 1; n <= 999; ++n)
    text += "TYP" +
            std::string(n < 10    ? "00"
                        : n < 100 ? "0"
                                  : "") +
            std::to_string(n) + "=T" + std::to_string(n) + "\n";
  text += "TYP1000=beyond\n[NAME]\nNAM001=A\n";
  write_definitions(text);
  // The verbose log shows every key read: the last is key 999, then the end.
  EXPECT_EQ(91, build("*GEN", true));
  EXPECT_NE(log().find("\nT999\n\n"), std::string::npos);
  EXPECT_EQ(log().find("beyond"), std::string::npos);
}

TEST_F(Assembly, VerboseTexts) {
  rows_.values = {"x", "t1"};
  write_definitions(
      "[REGVAL]\nSQL001=SELECT 'x', '$parm01'\nSQL002=WHERE 1 = 1\n"
      "[TYPE]\nTYP001=STRING\nTYP002=DWORD\n[NAME]\nNAM001=A,B\n");
  ASSERT_EQ(0, build("*GEN", true, "t1"));
  EXPECT_EQ(
      "Liste mit Werten der Eintr\xE4"
      "ge erstellen:\n"
      "SQL-Statement :\n"
      "' SELECT 'x', '$parm01' WHERE 1 = 1 '\n"
      "Werteliste erstellt\n"
      "Liste mit Typen der Eintr\xE4"
      "ge erstellen:\n"
      "Typen-String: \n"
      "'STRING,DWORD'\n"
      "Typen-Liste erstellt\n"
      "Liste mit Namen der Eintr\xE4"
      "ge erstellen:\n"
      "'A,B'\n"
      "Namen-Liste erstellt\n",
      console_);
  EXPECT_EQ(
      "allgemeine Eintr\xE4"
      "ge (*GEN) :\n\n"
      "SELECT 'x', '$parm01'\nWHERE 1 = 1\n\n"
      "STRING\nDWORD\n\n"
      "A,B\n\n",
      log());

  rows_.values = {"x"};
  console_.clear();
  write_definitions(
      "[REGVAL]\nSQL001=SELECT 'x'\n[TYPE]\nTYP001=STRING,DWORD\n[NAME]\nNAM001=A,B\n");
  EXPECT_EQ(91, build("*GEN", true));
  const std::string tail = "Namen-Liste erstellt\n\n FEHLENDER PARAMETER IN INI-DATEI !!\n";
  ASSERT_GE(console_.size(), tail.size());
  EXPECT_EQ(tail, console_.substr(console_.size() - tail.size()));
}

TEST_F(Assembly, UnknownModeIsRefused) {
  EXPECT_EQ(91, build("*XY"));
  EXPECT_EQ("falscher Modus !!!\n", console_);
  EXPECT_EQ("falscher Modus --> Abbruch\n", log());
  EXPECT_TRUE(table_.empty());
  EXPECT_EQ(failed_, EntryStep::kMode);
}

}  // namespace
