// StringList: owned texts in append order.
#include "entries/string_list.h"

#include <new>

std::int32_t string_list_append(StringListRef& list, std::string_view text) {
  try {
    // A failed append leaves the list (or its absence) as it was.
    StringListRef fresh = list ? nullptr : std::make_unique<StringList>();
    StringList& target = list ? *list : *fresh;
    target.items.emplace_back(text);
    if (fresh) list = std::move(fresh);
    return 1;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

std::int32_t string_list_release(StringListRef& list) {
  list.reset();
  return 0;
}
