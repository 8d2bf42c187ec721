// Console output through the C runtime's standard output stream.
#include "platform/console.h"

#include <cstdio>

void console_write(std::string_view bytes) {
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}
