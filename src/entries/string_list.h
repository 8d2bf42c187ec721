// StringList: an ordered, growable list of owned texts, reached through a reference
// that is none until the first append. Capacity grows 10, 20, 30, ...
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct StringList {
  std::int32_t count = 0;
  std::int32_t capacity = 0;
  std::vector<std::string> items;  // the first `count` are in use
};

using StringListRef = std::unique_ptr<StringList>;

// 1 when a copy of `text` was appended, 0 when memory ran out.
std::int32_t string_list_append(StringListRef& list, std::string_view text);
// Frees the list and sets the reference to none; always 0.
std::int32_t string_list_release(StringListRef& list);

// Number of items; a reference that is none counts as 0.
inline std::int32_t string_list_count(const StringListRef& list) {
  return list ? list->count : 0;
}
