// Tests of the owned string list: growth in steps of ten, private copies, release.
#include "entries/string_list.h"

#include <gtest/gtest.h>

#include <string>

TEST(StringList, GrowsBeforeTheEleventhAndTwentyFirstItem) {
  StringListRef list;
  for (int i = 1; i <= 10; ++i) ASSERT_EQ(1, string_list_append(list, std::to_string(i)));
  EXPECT_EQ(10, list->capacity);
  EXPECT_EQ(10, list->count);
  ASSERT_EQ(1, string_list_append(list, "11"));
  EXPECT_EQ(20, list->capacity);
  EXPECT_EQ(11, list->count);
  for (int i = 12; i <= 20; ++i) ASSERT_EQ(1, string_list_append(list, std::to_string(i)));
  EXPECT_EQ(20, list->capacity);
  ASSERT_EQ(1, string_list_append(list, "21"));
  EXPECT_EQ(30, list->capacity);
  ASSERT_EQ(21, string_list_count(list));
  for (int i = 0; i < 21; ++i) EXPECT_EQ(std::to_string(i + 1), list->items[i]);
}

TEST(StringList, StoresPrivateCopies) {
  StringListRef list;
  std::string text = "abc";
  string_list_append(list, text);
  string_list_append(list, text);
  text[0] = 'x';
  list->items[0] += "123456789";  // holders may lengthen an item by nine characters
  EXPECT_EQ("abc123456789", list->items[0]);
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
  EXPECT_EQ(1, list->count);
  EXPECT_EQ(10, list->capacity);
  EXPECT_EQ("c", list->items[0]);
}
