// Tests of the shared text routines, mostly their corner cases.
#include "settings/text.h"

#include <gtest/gtest.h>

TEST(TextUpper, ChangesOnlyAsciiLowerCase) {
  std::string text = "abz AZ 09 !_{} \xE4\xFF\x80";
  EXPECT_EQ(text_upper(text), "ABZ AZ 09 !_{} \xE4\xFF\x80");
  std::string empty;
  EXPECT_EQ(text_upper(empty), "");
}

TEST(TextTrim, RemovesBlanksAndTabsOnly) {
  std::string text = " \t a b \t ";
  EXPECT_EQ(text_trim_right(text), " \t a b");
  text = " \t a b \t ";
  EXPECT_EQ(text_trim(text), "a b");
  text = "x\n  ";
  EXPECT_EQ(text_trim(text), "x\n");  // the line end is not a blank
  text = "  \n";
  EXPECT_EQ(text_trim(text), "\n");
  text = " \t\t ";
  EXPECT_EQ(text_trim(text), "");
  text = " \t";
  EXPECT_EQ(text_trim_right(text), "");
}

TEST(TextSubstring, LengthRules) {
  std::string out = "old";
  text_substring("abcdef", 1, 3, out);
  EXPECT_EQ(out, "bcd");
  text_substring("abcdef", 2, 0, out);
  EXPECT_EQ(out, "cdef");
  out = "kept";
  text_substring("abcdef", 2, -1, out);
  EXPECT_EQ(out, "kept");
  text_substring("abcdef", 6, 0, out);
  EXPECT_EQ(out, "");
  // Out-of-range requests are clamped rather than read past the source.
  text_substring("abc", 1, 10, out);
  EXPECT_EQ(out, "bc");
  text_substring("abc", 9, 2, out);
  EXPECT_EQ(out, "");
}

TEST(TextFindNth, CountsAndFallsBackToTheLast) {
  EXPECT_EQ(text_find_nth("a;b;c;d", ';', 1), 1);
  EXPECT_EQ(text_find_nth("a;b;c;d", ';', 3), 5);
  EXPECT_EQ(text_find_nth("a;b;c;d", ';', 9), 5);
  EXPECT_EQ(text_find_nth("ab;c", ';', 2), 2);
  EXPECT_EQ(text_find_nth(";;", ';', 2), 1);
  EXPECT_EQ(text_find_nth("abc", ';', 1), -1);
  EXPECT_EQ(text_find_nth("", ';', 1), -1);
}
