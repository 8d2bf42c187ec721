// Fuzzes build_quoted_row over arbitrary rows: the line matches the model (or is its
// cut-off start when longer than the line buffer), and parsing it gives the values back.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "entries/quoted_list.h"
#include "fuzz_support.h"
#include "quoted_model.h"

namespace {

constexpr std::size_t kLineLimit = 2049;

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
  std::size_t start = text.find_first_not_of(" \t");
  return start == std::string::npos ? std::string() : text.substr(start);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzReader input(data, size);
  QueryRow row;
  row.column_count = input.byte() % (kQueryColumns + 1);
  std::vector<std::string> values;
  for (int i = 0; i < row.column_count; ++i) {
    // A column value is a C text of at most 99 characters.
    std::string value(input.until('\x01').substr(0, kColumnBytes - 1));
    value = value.substr(0, value.find('\0'));
    std::memcpy(row.columns[i], value.c_str(), value.size() + 1);
    values.push_back(value);
  }
  const QueryRow before = row;

  std::string line = build_quoted_row(row);
  fuzz_require(std::memcmp(&before, &row, sizeof row) == 0, "the row is not changed");
  std::string expected = model_quoted_row(values);
  fuzz_require(line == expected || (line.size() <= kLineLimit && expected.rfind(line, 0) == 0),
               "the line is the model's, or its start when too long");
  if (line != expected) return 0;

  // Values without line ends survive the trip through the parser, quotes included.
  for (const std::string& value : values)
    if (value.find_first_of("\r\n") != std::string::npos) return 0;
  StringListRef list = parse_quoted_list(line);
  fuzz_require(string_list_count(list) == row.column_count, "one field per column");
  for (std::size_t i = 0; i < values.size(); ++i)
    fuzz_require(list->items[i] == trimmed(values[i]), "each field is the trimmed value");
  return 0;
}
