// Straightforward models of the quoted-list conversions, written from their rules
// one step at a time, against which the fuzz targets compare the real ones.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct ModelList {
  bool created = false;  // false: the parse found no field
  std::vector<std::string> items;
};

ModelList model_parse_quoted_list(std::string_view text);

// The text without blanks and tabs at either end.
std::string model_trimmed(const std::string& text);

// Trimmed values in quotes (inner quotes doubled), separated by commas; no length limit.
std::string model_quoted_row(const std::vector<std::string>& values);
