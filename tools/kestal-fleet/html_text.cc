// HTML escaping of page texts. Every outside text passes here, so a terminal name
// holding markup is shown as the characters it consists of.
#include "html_text.h"

#include "cp1252.h"

namespace {

// U+2400 + b for the C0 controls, U+2421 for DEL: valid in HTML and visible.
void append_control_picture(std::string& out, unsigned char b) {
  out += '\xE2';
  out += '\x90';
  out += static_cast<char>(b == 0x7F ? 0xA1 : 0x80 + b);
}

}  // namespace

std::string html_escape(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + utf8.size() / 8);
  for (char ch : utf8) {
    auto b = static_cast<unsigned char>(ch);
    switch (ch) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        if (b < 0x20 || b == 0x7F) {
          append_control_picture(out, b);
        } else {
          out += ch;
        }
    }
  }
  return out;
}

std::string html_text(std::string_view cp1252) {
  return html_escape(cp1252_to_utf8(cp1252));
}

std::string visible_text(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size());
  for (char ch : cp1252_to_utf8(cp1252)) {
    auto b = static_cast<unsigned char>(ch);
    if (b < 0x20 || b == 0x7F) {
      append_control_picture(out, b);
    } else {
      out += ch;
    }
  }
  return out;
}
