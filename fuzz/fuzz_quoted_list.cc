// Fuzzes parse_quoted_list with arbitrary lines and compares its fields with a
// step-by-step model of the parse (as long as no field is longer than 249).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "entries/quoted_list.h"
#include "fuzz_support.h"
#include "quoted_model.h"

namespace {

constexpr std::size_t kFieldLimit = 249;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  StringListRef list = parse_quoted_list(text);
  ModelList model = model_parse_quoted_list(text);

  fuzz_require(static_cast<bool>(list) == model.created, "a list exactly when a field was found");
  if (!list) return 0;
  fuzz_require(list->count >= 1 && list->count <= list->capacity && list->capacity % 10 == 0 &&
                   list->items.size() >= std::size_t(list->count),
               "count, capacity and items agree");
  for (std::int32_t i = 0; i < list->count; ++i) {
    const std::string& item = list->items[std::size_t(i)];
    fuzz_require(item.find_first_of(std::string_view("\0\r\n", 3)) == std::string::npos,
                 "no field reaches past the first line");
  }
  bool short_fields = true;
  for (const std::string& field : model.items)
    short_fields = short_fields && field.size() <= kFieldLimit;
  if (!short_fields) return 0;
  fuzz_require(std::size_t(list->count) == model.items.size(), "as many fields as the model");
  for (std::size_t i = 0; i < model.items.size(); ++i)
    fuzz_require(list->items[i] == model.items[i], "each field as the model has it");
  string_list_release(list);
  fuzz_require(!list, "a released reference is none");
  return 0;
}
