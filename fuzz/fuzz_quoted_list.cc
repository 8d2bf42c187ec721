// Fuzzes parse_quoted_list with arbitrary lines and compares its fields, whole, with
// a model of the parse written as a state table.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "entries/quoted_list.h"
#include "fuzz_support.h"
#include "quoted_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> list = parse_quoted_list(text);
  ModelList model = model_parse_quoted_list(text);

  fuzz_require(!list.empty() == model.created, "fields exactly when the model found one");
  fuzz_require(list == model.items, "the fields, whole, as the model has them");
  return 0;
}
