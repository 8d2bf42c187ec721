// Models of the quoted-list conversions for the fuzz targets' comparisons.
#include "quoted_model.h"

namespace {

constexpr int kNotAComma = -2;

bool ends_text(char c) {
  return c == '\0' || c == '\r' || c == '\n';
}

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
  std::size_t start = 0;
  while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) ++start;
  return text.substr(start);
}

}  // namespace

ModelList model_parse_quoted_list(std::string_view text) {
  ModelList list;
  auto at = [&](std::size_t i) { return i < text.size() ? text[i] : '\0'; };
  auto append = [&](const std::string& field) {
    list.created = true;
    list.items.push_back(field);
  };
  std::size_t pos = 0;
  int remembered = -1;
  for (;;) {
    while (at(pos) == ' ') ++pos;
    char c = at(pos);
    if (ends_text(c)) {
      if (remembered == ',') append("");
      return list;
    }
    if (c == ',') {
      append("");
      remembered = kNotAComma;
      ++pos;
      continue;
    }
    char closing = c == '"' ? '"' : ',';
    std::string field;
    if (c != '"') field.push_back(c);
    for (;;) {
      char ch = at(++pos);
      remembered = static_cast<unsigned char>(ch);
      if (ends_text(ch)) {
        append(field);
        break;
      }
      if (ch != closing) {
        field.push_back(ch);
        continue;
      }
      if (closing == ',') {
        append(field);
        ++pos;
        break;
      }
      char next = at(pos + 1);
      if (next == '"') {
        field.push_back('"');
        ++pos;
        continue;
      }
      append(field);
      pos += next == ',' ? 2 : 1;
      break;
    }
  }
}

std::string model_quoted_row(const std::vector<std::string>& values) {
  std::string line;
  for (const std::string& value : values) {
    if (!line.empty()) line.push_back(',');
    line.push_back('"');
    // A quote in a value is doubled, so the parser gives the value back whole.
    for (char c : trimmed(value)) {
      if (c == '"') line.push_back('"');
      line.push_back(c);
    }
    line.push_back('"');
  }
  return line;
}
