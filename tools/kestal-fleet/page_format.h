// Times and durations as the fleet page shows them (plain UTF-8, not yet escaped).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// "2026-12-08 14:05:09 +0100", in the local time zone of the machine writing the page.
std::string format_local_time(std::int64_t unix_seconds);

// "8.4 s", "2 min 05 s", "3 h 12 min", "2 d 04 h".
std::string format_duration(double seconds);

// Seconds with one decimal, for table cells ("12.3").
std::string format_seconds(double seconds);

// A status row's yyyymmddhhmmss as "yyyy-mm-dd hh:mm:ss"; any other text unchanged.
std::string format_stamp(std::string_view stamp);

// A status code, or nothing when there is none.
std::string format_code(const std::optional<std::int32_t>& code);

// "1 terminal", "3 terminals".
std::string count_of(std::size_t n, std::string_view thing);
