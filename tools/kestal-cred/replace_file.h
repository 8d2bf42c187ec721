// Replacing a file's whole content so that readers see either the old or the new
// file, never a half-written one.
#pragma once

#include <string>
#include <string_view>

// Reads the whole file as bytes; `missing` is set when it does not exist.
bool read_whole_file(const std::string& path, std::string& content, bool& missing,
                     std::string& error);

// Writes a temporary file in the same folder and renames it over `path`.
bool replace_file(const std::string& path, std::string_view content, std::string& error);
