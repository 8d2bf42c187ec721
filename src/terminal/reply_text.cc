// The printable form of a terminal reply, for the run log, the verbose console and the
// last line of output.
#include "terminal/reply_text.h"

namespace {

bool is_control(unsigned char c) {
  return c < 0x20 || c == 0x7F;
}

}  // namespace

std::string printable_reply(std::string_view text, std::size_t line_end) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    bool closing = line_end != std::string_view::npos &&
                   ((i == line_end && c == '\r') || (i == line_end + 1 && c == '\n'));
    if (!is_control(c) || closing) {
      out.push_back(text[i]);
      continue;
    }
    out += "\\x";
    out.push_back(kHex[c >> 4]);
    out.push_back(kHex[c & 0x0F]);
  }
  return out;
}
