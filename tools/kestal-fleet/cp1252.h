// Windows-1252 bytes as UTF-8, for the JSON lines and the page: every byte stands
// for one character, so any byte string gives valid UTF-8.
#pragma once

#include <string>
#include <string_view>

std::string cp1252_to_utf8(std::string_view bytes);
