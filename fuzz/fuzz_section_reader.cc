// Fuzzes read_section_value over arbitrary entry definition file contents: the
// input names the section, the key and the output capacity, the rest is the file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "settings/section_reader.h"

namespace {

constexpr std::size_t kCapacities[] = {0, 1, 2, 3, 8, 40, 119, 2050};

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static ScratchFile file("KESTALENTRY.FUZZ.INI");
  FuzzReader input(data, size);
  std::size_t capacity = kCapacities[input.byte() % std::size(kCapacities)];
  std::string section(input.until('\n'));
  std::string key(input.until('\n'));
  file.write(input.rest());

  const std::string untouched = "untouched";
  std::string output = untouched;
  std::int32_t length = read_section_value(section, key, output, capacity, file.path());

  std::size_t nul = output.find('\0');
  fuzz_require(length == static_cast<std::int32_t>(nul == std::string::npos ? output.size() : nul),
               "the result is the length of the output's text");
  if (output != untouched) {
    fuzz_require(capacity > 0 && output.size() <= capacity - 1, "the value fits the capacity");
    // A value comes from one line part of at most 119 characters.
    fuzz_require(output.size() <= 119, "the value comes from one line");
    fuzz_require(output.find('\n') == std::string::npos, "no line end in the value");
    fuzz_require(output.empty() || (!is_blank(output.front()) && !is_blank(output.back())),
                 "the value is trimmed");
  }
  // Nothing is cached: the same call gives the same value.
  std::string again = untouched;
  read_section_value(section, key, again, capacity, file.path());
  fuzz_require(again == output, "the reader is deterministic");
  return 0;
}
