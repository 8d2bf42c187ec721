// Whole-file reads for tests: the bytes of a file exactly as they are on disk.
#pragma once

#include <filesystem>
#include <string>

// The file's bytes; empty when it cannot be read.
std::string read_whole_file(const std::filesystem::path& path);
