// Conversions between one line of comma-separated, optionally quoted fields and
// lists: the field parser, and the line of quoted values built from a query row.
#include "entries/quoted_list.h"

#include <algorithm>

#include "settings/text.h"

namespace {

// Marks an empty field just taken, so that the end of the text adds no field.
constexpr int kNotComma = -2;
constexpr int kNothing = -1;

bool ends_text(char c) {
  return c == '\0' || c == '\r' || c == '\n';
}

// The character at `position`; the end of the view reads as NUL.
char char_at(std::string_view text, std::size_t position) {
  return position < text.size() ? text[position] : '\0';
}

}  // namespace

// Fields of any length are kept whole: cutting a value at some buffer size would
// send the terminal a different value than the statement gave.
std::vector<std::string> parse_quoted_list(std::string_view text) {
  std::vector<std::string> list;
  std::string field;
  int remembered = kNothing;  // the character the field scan examined last
  std::size_t position = 0;
  for (;;) {
    field.clear();
    while (char_at(text, position) == ' ') ++position;
    char c = char_at(text, position);
    if (ends_text(c)) {
      if (remembered == ',') list.emplace_back("");
      return list;
    }
    if (c == ',') {
      list.emplace_back("");
      remembered = kNotComma;
      ++position;
      continue;
    }
    const char closing = c == '"' ? '"' : ',';
    if (closing == ',') field.push_back(c);
    for (;;) {
      char ch = char_at(text, ++position);
      remembered = static_cast<unsigned char>(ch);
      if (ends_text(ch)) {
        list.emplace_back(field);
        break;  // the outer loop stops on this character
      }
      if (ch != closing) {
        field.push_back(ch);
        continue;
      }
      if (closing == ',') {
        list.emplace_back(field);
        ++position;
        break;
      }
      char next = char_at(text, position + 1);
      if (next == '"') {
        field.push_back('"');
        ++position;
        continue;
      }
      list.emplace_back(field);
      // A comma is the separator; anything else starts the next field itself.
      position += next == ',' ? 2 : 1;
      break;
    }
  }
}

// The line grows as needed: thirty full columns of 99 characters make a line of
// more than 3000 bytes, and a cut line would lose or split values.
std::string build_quoted_row(const QueryRow& row) {
  std::string line;
  int columns = row.column_count;
  if (columns > kQueryColumns) columns = kQueryColumns;
  for (int i = 0; i < columns; ++i) {
    const char* slot = row.columns[i];
    std::string value(slot, std::find(slot, slot + kColumnBytes, '\0'));
    line.push_back('"');
    text_trim(value);
    // A quote inside a value is doubled so that the parser gives the value back
    // unchanged instead of splitting it and shifting the values after it.
    for (char c : value) {
      if (c == '"') line.push_back('"');
      line.push_back(c);
    }
    line.append("\",");
  }
  if (!line.empty()) line.pop_back();
  return line;
}
