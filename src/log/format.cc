// printf-style formatting into a std::string.
#include "log/format.h"

#include <cstdarg>
#include <cstdio>

std::string text_printf(const char* format, ...) {
  // Most texts fit the stack buffer and are formatted once; longer ones a second
  // time, into a string of their exact length.
  char buffer[512];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  std::string result;
  if (length > 0 && static_cast<std::size_t>(length) < sizeof buffer) {
    result.assign(buffer, static_cast<std::size_t>(length));
  } else if (length > 0) {
    result.resize(static_cast<std::size_t>(length));
    std::vsnprintf(result.data(), result.size() + 1, format, again);
  }
  va_end(again);
  return result;
}
