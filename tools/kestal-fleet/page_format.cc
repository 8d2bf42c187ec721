// Human-readable times for the fleet page; the table keeps exact numbers for sorting.
#include "page_format.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

std::string format_local_time(std::int64_t unix_seconds) {
  auto t = static_cast<time_t>(unix_seconds);
  tm local{};
  char text[64] = "";
  if (localtime_r(&t, &local) == nullptr ||
      strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local) == 0) {
    return std::to_string(unix_seconds);
  }
  return text;
}

std::string format_duration(double seconds) {
  char text[64];
  if (!(seconds >= 0)) seconds = 0;
  if (seconds < 60) {
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
  }
  auto whole = static_cast<long long>(std::llround(seconds));
  if (whole < 3600) {
    std::snprintf(text, sizeof text, "%lld min %02lld s", whole / 60, whole % 60);
  } else if (whole < 86400) {
    std::snprintf(text, sizeof text, "%lld h %02lld min", whole / 3600, whole % 3600 / 60);
  } else {
    std::snprintf(text, sizeof text, "%lld d %02lld h", whole / 86400, whole % 86400 / 3600);
  }
  return text;
}

std::string format_seconds(double seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", seconds);
  return text;
}

namespace {

// Days from 1970-01-01 to y-m-d of the proleptic Gregorian calendar.
std::int64_t days_from_civil(std::int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  std::int64_t year_of_era = y - era * 400;
  std::int64_t day_of_year = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  std::int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

int days_in_month(int y, int m) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}

bool all_digits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::optional<std::int64_t> stamp_seconds(std::string_view stamp) {
  if (stamp.size() != 14 || !all_digits(stamp)) return std::nullopt;
  auto field = [stamp](std::size_t at, std::size_t length) {
    int value = 0;
    for (char c : stamp.substr(at, length)) value = value * 10 + (c - '0');
    return value;
  };
  int y = field(0, 4), m = field(4, 2), d = field(6, 2);
  int h = field(8, 2), mi = field(10, 2), s = field(12, 2);
  if (y < 1000 || m < 1 || m > 12 || d < 1 || d > days_in_month(y, m) || h > 23 || mi > 59 ||
      s > 59)
    return std::nullopt;
  return days_from_civil(y, m, d) * 86400 + std::int64_t{h} * 3600 + std::int64_t{mi} * 60 + s;
}

std::string count_of(std::size_t n, std::string_view thing) {
  return std::to_string(n) + " " + std::string(thing) + (n == 1 ? "" : "s");
}
