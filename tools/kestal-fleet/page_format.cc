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

std::string format_stamp(std::string_view stamp) {
  bool digits = stamp.size() == 14 && std::all_of(stamp.begin(), stamp.end(),
                                                  [](char c) { return c >= '0' && c <= '9'; });
  if (!digits) return std::string(stamp);
  std::string out(stamp.substr(0, 4));
  out.append("-").append(stamp.substr(4, 2)).append("-").append(stamp.substr(6, 2));
  out.append(" ").append(stamp.substr(8, 2)).append(":").append(stamp.substr(10, 2));
  out.append(":").append(stamp.substr(12, 2));
  return out;
}

std::string format_code(const std::optional<std::int32_t>& code) {
  return code ? std::to_string(*code) : std::string();
}

std::string count_of(std::size_t n, std::string_view thing) {
  return std::to_string(n) + " " + std::string(thing) + (n == 1 ? "" : "s");
}
