// The printable form of a terminal reply, for the run log, the verbose console and the
// last line of output.
#include "terminal/reply_text.h"

namespace {

bool is_control(unsigned char c) {
  return c < 0x20 || c == 0x7F;
}

}  // namespace

void append_printable_reply(std::string& out, std::string_view text, std::size_t line_end) {
  static const char kHex[] = "0123456789abcdef";
  std::size_t copied = 0;  // bytes before this index are in `out` already
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    bool closing = line_end != std::string_view::npos &&
                   ((i == line_end && c == '\r') || (i == line_end + 1 && c == '\n'));
    if (!is_control(c) || closing) continue;
    out.append(text.substr(copied, i - copied));
    const char escaped[] = {'\\', 'x', kHex[c >> 4], kHex[c & 0x0F]};
    out.append(escaped, sizeof escaped);
    copied = i + 1;
  }
  out.append(text.substr(copied));
}

std::string printable_reply(std::string_view text, std::size_t line_end) {
  std::string out;
  out.reserve(text.size());
  append_printable_reply(out, text, line_end);
  return out;
}
