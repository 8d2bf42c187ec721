// Small text routines shared by the settings readers and the entry table.
#include "settings/text.h"

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::string& text_upper(std::string& text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string& text_trim_right(std::string& text) {
  std::size_t end = text.size();
  while (end > 0 && is_blank(text[end - 1])) --end;
  text.resize(end);
  return text;
}

std::string& text_trim(std::string& text) {
  text_trim_right(text);
  std::size_t start = 0;
  while (start < text.size() && is_blank(text[start])) ++start;
  text.erase(0, start);
  return text;
}

// Positions outside the source are clamped, so a careless caller gets a shorter
// text instead of a read past the end.
void text_substring(std::string_view source, int start, int length, std::string& destination) {
  if (length < 0) return;
  std::size_t from = start < 0 ? 0 : static_cast<std::size_t>(start);
  if (from > source.size()) from = source.size();
  std::size_t count = length == 0 ? std::string_view::npos : static_cast<std::size_t>(length);
  destination.assign(source.substr(from, count));
}

int text_find_nth(std::string_view text, char character, int n) {
  int last = -1;
  int seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != character) continue;
    last = static_cast<int>(i);
    if (++seen == n) return last;
  }
  return last;
}
