// StringList: owned texts in append order.
#include "entries/string_list.h"

#include <new>

std::int32_t string_list_append(StringListRef& list, std::string_view text) {
  try {
    if (list) {
      list->items.emplace_back(text);
      return 1;
    }
    // A new list is kept only once it holds the text: a failed append leaves none.
    auto fresh = std::make_unique<StringList>();
    fresh->items.emplace_back(text);
    list = std::move(fresh);
    return 1;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

std::int32_t string_list_release(StringListRef& list) {
  list.reset();
  return 0;
}
