// Reads the value of one key in one [section] of a sectioned key=value text file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Writes `output` only when the key is found (at most capacity - 1 characters);
// returns the length of the text in `output` after the call.
std::int32_t read_section_value(std::string_view section, std::string_view key, std::string& output,
                                std::size_t capacity, const std::string& path);
