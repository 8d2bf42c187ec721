// Windows-1252 bytes as UTF-8, for the JSON lines and the page: every byte stands
// for one character, so any byte string gives valid UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

std::string cp1252_to_utf8(std::string_view bytes);
// The inverse; none when `utf8` holds a character the code page lacks or is not UTF-8.
std::optional<std::string> utf8_to_cp1252(std::string_view utf8);
