// StringList: an ordered, growable list of owned texts, reached through a reference
// that is none until the first append.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct StringList {
  std::vector<std::string> items;  // in append order
};

using StringListRef = std::unique_ptr<StringList>;

// 1 when a copy of `text` was appended, 0 when memory ran out.
std::int32_t string_list_append(StringListRef& list, std::string_view text);
// Frees the list and sets the reference to none; always 0.
std::int32_t string_list_release(StringListRef& list);

// Number of items; a reference that is none counts as 0.
inline std::int32_t string_list_count(const StringListRef& list) {
  return list ? static_cast<std::int32_t>(list->items.size()) : 0;
}
