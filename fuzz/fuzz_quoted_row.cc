// Fuzzes build_quoted_row over arbitrary rows: the line matches the model whole, and
// parsing it gives the values back.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "entries/quoted_list.h"
#include "fuzz_support.h"
#include "quoted_model.h"

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
  fuzz_require(line == expected, "the line is the model's, whole");

  // Values without line ends survive the trip through the parser, quotes included.
  for (const std::string& value : values)
    if (value.find_first_of("\r\n") != std::string::npos) return 0;
  std::vector<std::string> list = parse_quoted_list(line);
  fuzz_require(list.size() == static_cast<std::size_t>(row.column_count), "one field per column");
  for (std::size_t i = 0; i < values.size(); ++i)
    fuzz_require(list[i] == model_trimmed(values[i]), "each field is the trimmed value");
  return 0;
}
