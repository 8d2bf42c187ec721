// Windows-1252 to UTF-8. The five bytes the code page leaves undefined stand for the
// control characters of the same number, as Windows converts them.
#include "cp1252.h"

#include <cstdint>

namespace {

// Code points of 0x80 to 0x9F; the rest of the code page equals Latin-1.
constexpr char32_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string cp1252_to_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    auto b = static_cast<std::uint8_t>(ch);
    append_utf8(out, b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char32_t{b});
  }
  return out;
}

namespace {

// One code point from the front of `in`; none for bytes that are not UTF-8.
std::optional<char32_t> next_code_point(std::string_view& in) {
  auto b = static_cast<std::uint8_t>(in[0]);
  std::size_t size = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : 0;
  if (size == 0 || in.size() < size) return std::nullopt;
  char32_t c = size == 1 ? b : size == 2 ? (b & 0x1F) : (b & 0x0F);
  for (std::size_t i = 1; i < size; ++i) {
    auto more = static_cast<std::uint8_t>(in[i]);
    if ((more & 0xC0) != 0x80) return std::nullopt;
    c = (c << 6) | (more & 0x3F);
  }
  in.remove_prefix(size);
  return c;
}

}  // namespace

std::optional<std::string> utf8_to_cp1252(std::string_view utf8) {
  std::string out;
  while (!utf8.empty()) {
    std::optional<char32_t> c = next_code_point(utf8);
    if (!c) return std::nullopt;
    if (*c < 0x80 || (*c >= 0xA0 && *c <= 0xFF)) {
      out += static_cast<char>(*c);
      continue;
    }
    std::size_t i = 0;
    while (i < 32 && kHigh[i] != *c) ++i;
    if (i == 32) return std::nullopt;
    out += static_cast<char>(0x80 + i);
  }
  return out;
}
