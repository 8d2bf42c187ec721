// Conversions between one line of comma-separated, optionally quoted fields and
// lists: the parser, and the line built from a fetched query row.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/query_row.h"

// One item per field; empty when the text holds no field.
std::vector<std::string> parse_quoted_list(std::string_view text);

// The row's column values, each trimmed and in double quotes, separated by commas.
std::string build_quoted_row(const QueryRow& row);
