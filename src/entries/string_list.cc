// StringList: owned texts in append order, grown ten slots at a time.
#include "entries/string_list.h"

#include <new>

std::int32_t string_list_append(StringListRef& list, std::string_view text) {
  try {
    if (!list) {
      auto fresh = std::make_unique<StringList>();
      fresh->items.reserve(10);
      fresh->capacity = 10;
      list = std::move(fresh);
    }
    // The visible capacity grows ten slots at a time; the storage below it grows
    // geometrically, so appending n items copies O(n) texts, not O(n^2). Both change
    // only once the item is stored: a failed append leaves the list as it was.
    std::int32_t capacity = list->count == list->capacity ? list->capacity + 10 : list->capacity;
    // Room for nine more characters: holders may lengthen an item in place.
    std::string copy;
    copy.reserve(text.size() + 9);
    copy.assign(text);
    list->items.push_back(std::move(copy));
    list->capacity = capacity;
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
