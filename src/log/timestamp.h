// Fourteen-digit local time texts: "yyyymmddhhminss" for the database and
// "ddmmyyyyhhminss" for the run log. The result buffer is the caller's state.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

struct TimestampBuffer {
  std::string text;  // last timestamp produced; empty until the first
};

// Formats the current local time by `format_name` (compared after upper-casing).
// An unknown name leaves the buffer as it was.
const std::string& timestamp_text(TimestampBuffer& buffer, std::string_view format_name);

// The same for a given broken-down local time.
const std::string& timestamp_text_at(TimestampBuffer& buffer, std::string_view format_name,
                                     const std::tm& local);
