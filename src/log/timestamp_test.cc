// Timestamp texts: both orders, case of the format name, unknown names.
#include "log/timestamp.h"

#include <gtest/gtest.h>

namespace {

std::tm make_time(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

TEST(TimestampText, BothOrdersWithLeadingZeros) {
  TimestampBuffer buffer;
  std::tm t = make_time(2026, 12, 7, 9, 5, 3);
  EXPECT_EQ(timestamp_text_at(buffer, "yyyymmddhhminss", t), "20261207090503");
  EXPECT_EQ(timestamp_text_at(buffer, "ddmmyyyyhhminss", t), "07122026090503");
  std::tm midnight = make_time(2027, 1, 1, 0, 0, 9);
  EXPECT_EQ(timestamp_text_at(buffer, "yyyymmddhhminss", midnight), "20270101000009");
}

TEST(TimestampText, FormatNameIsCaseInsensitive) {
  TimestampBuffer buffer;
  std::tm t = make_time(2026, 3, 4, 23, 59, 58);
  EXPECT_EQ(timestamp_text_at(buffer, "YYYYMMDDHHMINSS", t), "20260304235958");
  EXPECT_EQ(timestamp_text_at(buffer, "YyYyMmDdHhMiNsS", t), "20260304235958");
  EXPECT_EQ(timestamp_text_at(buffer, "DDMMyyyyHHMINSS", t), "04032026235958");
}

TEST(TimestampText, UnknownNameKeepsThePreviousResult) {
  TimestampBuffer buffer;
  std::tm t = make_time(2026, 12, 7, 9, 5, 3);
  EXPECT_EQ(timestamp_text_at(buffer, "hhmmss", t), "");
  timestamp_text_at(buffer, "yyyymmddhhminss", t);
  std::tm later = make_time(2030, 1, 1, 1, 1, 1);
  EXPECT_EQ(timestamp_text_at(buffer, "yyyymmddhhmin", later), "20261207090503");
}

TEST(TimestampText, CurrentTimeHasFourteenDigits) {
  TimestampBuffer buffer;
  const std::string& text = timestamp_text(buffer, "yyyymmddhhminss");
  ASSERT_EQ(text.size(), 14u);
  EXPECT_EQ(text.find_first_not_of("0123456789"), std::string::npos);
}

}  // namespace
