// The page's data block: no text can end the script element or break the JSON, numbers
// stay short, and names rank as readers expect.
#include "page_data.h"

#include <gtest/gtest.h>

#include <limits>

#include "page_format.h"

TEST(PageData, TextsCannotEndTheBlockOrTheString) {
  struct Case {
    std::string_view utf8;
    std::string_view json;
  } cases[] = {
      {"</script><!--x", R"("\u003c/script\u003e\u003c!--x")"},
      {"a\"b\\c & d", R"("a\"b\\c \u0026 d")"},
      {"\t\x7F", R"("\u0009\u007f")"},
      {"line\xE2\x80\xA8para\xE2\x80\xA9", R"("line\u2028para\u2029")"},
      {"\xE2\x80\xA6 \xE2\x82\xAC \xE2", "\"\xE2\x80\xA6 \xE2\x82\xAC \xE2\""},
  };
  for (const auto& c : cases) {
    std::string out;
    json_text(out, c.utf8);
    EXPECT_EQ(out, c.json) << c.utf8;
  }
  std::string bytes;
  json_outside_text(bytes, "M\xFC\x80\n");
  EXPECT_EQ(bytes, "\"M\xC3\xBC\xE2\x82\xAC\xE2\x90\x8A\"");
}

TEST(PageData, NumbersAreShortAndRowsDropTrailingNulls) {
  std::string out;
  for (double v : {2.5, 3.0, 0.004, -0.001, 12.345678, std::numeric_limits<double>::infinity()}) {
    json_number(out, v);
    out += ' ';
  }
  EXPECT_EQ(out, "2.5 3 0 0 12.35 0 ");
  std::string row = "[\"a\",null,1,null,null";
  json_trim_nulls(row);
  EXPECT_EQ(row, "[\"a\",null,1");
}

TEST(PageData, NamesRankByLettersAndNumberValues) {
  std::vector<std::string> names = {"store-10", "Store-9", "store-010", "kasse", "store-9", ""};
  // "", kasse, Store-9, store-9 (same but later), store-10, store-010 (same but later)
  std::vector<std::size_t> expected = {4, 2, 5, 1, 3, 0};
  EXPECT_EQ(name_ranks(names), expected);
}

TEST(PageData, StampsBecomeSecondsOnlyWhenTheyNameAMoment) {
  struct Case {
    std::string_view stamp;
    std::optional<std::int64_t> seconds;
  } cases[] = {
      {"19700101000000", 0},
      {"20261208143000", 1796740200},
      {"20240229235959", 1709251199},
      {"20260229000000", std::nullopt},
      {"20261301000000", std::nullopt},
      {"20261208240000", std::nullopt},
      {"09991231000000", std::nullopt},
      {"2026120814300x", std::nullopt},
      {"2026120814300", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(stamp_seconds(c.stamp), c.seconds) << c.stamp;
}
