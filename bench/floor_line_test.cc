// Checks that the floor client sends the very bytes the tool sends for an entry.
#include "floor_line.h"

#include <gtest/gtest.h>

TEST(FloorLine, MatchesTheToolsEntryLines) {
  EXPECT_EQ(updsysdb_line(3, "00003"), "UPDSYSDB 34f5 19 STRING StoNr3 00003\r\n");
  // A CRC below 0x1000 loses its leading zeros.
  EXPECT_EQ(updsysdb_line(30, "00030"), "UPDSYSDB 2e7 20 STRING StoNr30 00030\r\n");
}

TEST(FloorLine, ReplyCodeNeedsThreeMatchingCharacters) {
  EXPECT_TRUE(reply_has_code("200 ok\r\n", "200"));
  EXPECT_TRUE(reply_has_code("230", "230"));
  EXPECT_FALSE(reply_has_code("20", "200"));
  EXPECT_FALSE(reply_has_code("530 no\r\n", "230"));
}
