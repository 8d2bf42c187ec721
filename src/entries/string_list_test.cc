// Tests of the owned string list: private copies, release and a fresh start.
#include "entries/string_list.h"

#include <gtest/gtest.h>

#include <string>

TEST(StringList, StoresPrivateCopiesInOrder) {
  StringListRef list;
  std::string text = "abc";
  string_list_append(list, text);
  string_list_append(list, text);
  text[0] = 'x';
  list->items[0] += "d";
  EXPECT_EQ("abcd", list->items[0]);
  EXPECT_EQ("abc", list->items[1]);
  EXPECT_EQ(2, string_list_count(list));
}

TEST(StringList, ReleaseOfNoneAndRestartAfterRelease) {
  StringListRef none;
  EXPECT_EQ(0, string_list_release(none));
  EXPECT_EQ(nullptr, none);
  EXPECT_EQ(0, string_list_count(none));

  StringListRef list;
  string_list_append(list, "a");
  string_list_append(list, "b");
  EXPECT_EQ(0, string_list_release(list));
  EXPECT_EQ(nullptr, list);
  string_list_append(list, "c");
  ASSERT_NE(nullptr, list);
  EXPECT_EQ(1, string_list_count(list));
  EXPECT_EQ("c", list->items[0]);
}
