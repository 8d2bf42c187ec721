// The push history of --history DIR: each push's JSON lines and page under a
// time-stamped name, latest.json and latest.html, and the last --keep pushes only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

// Adds the push started at `started_unix` to `dir` (made when missing) as
// push-YYYYMMDDTHHMMSSZ.json and .html (UTC; -2, -3, ... when a push of the same
// second is there), replaces latest.json and latest.html whole, and removes the
// oldest pushes beyond `keep`. False with `error` set.
bool history_add(const std::string& dir, int keep, std::int64_t started_unix,
                 const std::string& json_lines, const std::string& page, std::string& error);

// The order key (time stamp, number) of a file the history wrote; none for any other
// name, so no other file is ever removed.
std::optional<std::pair<std::string, int>> history_key(const std::string& file_name);
