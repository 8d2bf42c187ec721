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

// A status row's yyyymmddhhmmss as seconds since 1970-01-01 00:00:00 on a plain calendar
// (no time zone), when it names a real moment of the years 1000 to 9999; the page
// shows it again as the same yyyy-mm-dd hh:mm:ss.
std::optional<std::int64_t> stamp_seconds(std::string_view stamp);

// "1 terminal", "3 terminals".
std::string count_of(std::size_t n, std::string_view thing);
