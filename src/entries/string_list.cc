// StringList: owned texts in append order, grown ten slots at a time.
#include "entries/string_list.h"

#include <new>

std::int32_t string_list_append(StringListRef& list, std::string_view text) {
  try {
    bool created = false;
    if (!list) {
      auto fresh = std::make_unique<StringList>();
      fresh->items.reserve(10);
      fresh->capacity = 10;
      list = std::move(fresh);
      created = true;
    }
    // The visible capacity grows ten slots at a time; the storage below it grows
    // geometrically, so appending n items copies O(n) texts, not O(n^2).
    if (list->count == list->capacity) list->capacity += 10;
    try {
      // Room for nine more characters: holders may lengthen an item in place.
      std::string copy;
      copy.reserve(text.size() + 9);
      copy.assign(text);
      list->items.push_back(std::move(copy));
    } catch (const std::bad_alloc&) {
      if (created) list.reset();
      return 0;
    }
    ++list->count;
    return 1;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

std::int32_t string_list_release(StringListRef& list) {
  list.reset();
  return 0;
}
