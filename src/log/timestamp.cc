// Fourteen-digit local time texts in year-first and day-first order.
#include "log/timestamp.h"

#include <cstdio>

const std::string& timestamp_text_at(TimestampBuffer& buffer, std::string_view format_name,
                                     const std::tm& local) {
  std::string name(format_name);
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  char text[64];
  if (name == "YYYYMMDDHHMINSS") {
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    buffer.text = text;
  } else if (name == "DDMMYYYYHHMINSS") {
    std::snprintf(text, sizeof text, "%02d%02d%04d%02d%02d%02d", local.tm_mday, local.tm_mon + 1,
                  local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
    buffer.text = text;
  }
  return buffer.text;
}

const std::string& timestamp_text(TimestampBuffer& buffer, std::string_view format_name) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return timestamp_text_at(buffer, format_name, local);
}
