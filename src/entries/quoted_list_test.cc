// Tests of the quoted-list parser and of the line built from a query row.
#include "entries/quoted_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using Items = std::vector<std::string>;

// The list's items, or nothing when the parser found no field.
std::optional<Items> items_of(const Items& list) {
  if (list.empty()) return std::nullopt;
  return list;
}

void set_column(QueryRow& row, int index, const char* value) {
  std::strncpy(row.columns[index], value, kColumnBytes - 1);
}

}  // namespace

TEST(ParseQuotedList, Table) {
  struct Case {
    std::string text;
    std::optional<Items> items;
  };
  const std::vector<Case> cases = {
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"a,b", Items{"a", "b"}},
      {"a,b,", Items{"a", "b", ""}},
      {"a,,b", Items{"a", "", "b"}},
      {"a,,", Items{"a", ""}},
      {",", Items{""}},
      {",a", Items{"", "a"}},
      {"\"a\",\"b\"", Items{"a", "b"}},
      {"\"a\",\"b\",", Items{"a", "b"}},
      {"\"a,b\"", Items{"a,b"}},
      {"\"a\"\"b\"", Items{"a\"b"}},
      {"\"\"", Items{""}},
      {"\"ab\"cd,e", Items{"ab", "cd", "e"}},
      {"\"abc", Items{"abc"}},
      {" x ,y", Items{"x ", "y"}},
      {"\tx", Items{"\tx"}},
      {"a\nb", Items{"a"}},
      {"a\rb", Items{"a"}},
      {std::string("a,b\0c", 5), Items{"a", "b"}},
      {"a,\n", Items{"a", ""}},
      {"\"a\" , b", Items{"a", "", "b"}},
      {"\" a\t,b \"", Items{" a\t,b "}},
      {"\"a\"b\"", Items{"a", "b\""}},
      {"\"a\nb\"", Items{"a"}},
      {"a, ", Items{"a", ""}},
      {"\"a\"\n", Items{"a"}},
  };
  for (const Case& c : cases) {
    Items list = parse_quoted_list(c.text);
    EXPECT_EQ(c.items, items_of(list)) << "text: [" << c.text << "]";
  }
}

TEST(ParseQuotedList, KeepsFieldsOfAnyLengthWhole) {
  const std::string long_field(600, 'x');
  Items list = parse_quoted_list("\"" + long_field + "\"," + long_field);
  EXPECT_EQ((Items{long_field, long_field}), items_of(list));
}

TEST(BuildQuotedRow, RoundTripWithBlanksAndTabs) {
  QueryRow row;
  row.column_count = 3;
  set_column(row, 0, " x ");
  set_column(row, 1, "");
  set_column(row, 2, "y\t");
  const std::string line = build_quoted_row(row);
  EXPECT_EQ("\"x\",\"\",\"y\"", line);
  EXPECT_EQ(" x ", std::string(row.columns[0]));  // the row is not changed
  EXPECT_EQ((Items{"x", "", "y"}), items_of(parse_quoted_list(line)));
}

TEST(BuildQuotedRow, EdgeRows) {
  QueryRow empty;
  EXPECT_EQ("", build_quoted_row(empty));
  EXPECT_EQ(std::nullopt, items_of(parse_quoted_list(build_quoted_row(empty))));

  QueryRow blanks;
  blanks.column_count = 1;
  set_column(blanks, 0, " \t ");
  EXPECT_EQ("\"\"", build_quoted_row(blanks));

  // Quotes and commas inside values come back unchanged and in their own places.
  QueryRow marked;
  marked.column_count = 3;
  set_column(marked, 0, "a\"");
  set_column(marked, 1, "b,c");
  set_column(marked, 2, "\"d\"");
  EXPECT_EQ((Items{"a\"", "b,c", "\"d\""}), items_of(parse_quoted_list(build_quoted_row(marked))));
}

TEST(BuildQuotedRow, ThirtyFullColumnsAreKeptWhole) {
  QueryRow row;
  row.column_count = kQueryColumns;
  const std::string full(kColumnBytes - 1, 'v');
  for (int i = 0; i < kQueryColumns; ++i) set_column(row, i, full.c_str());
  const std::string line = build_quoted_row(row);
  EXPECT_EQ(static_cast<std::size_t>(kQueryColumns * (kColumnBytes + 2) - 1), line.size());
  Items list = parse_quoted_list(line);
  ASSERT_EQ(static_cast<std::size_t>(kQueryColumns), list.size());
  EXPECT_EQ(full, list[kQueryColumns - 1]);
}
