// JSON for the page's data block. Escaping '<' keeps "</script" and "<!--" out of the
// element; U+2028 and U+2029 are escaped for script parsers that take them as line ends.
#include "page_data.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "html_text.h"

int TextTable::add(std::string_view cp1252) {
  std::string text = visible_text(cp1252);
  auto [at, added] = index.try_emplace(text, static_cast<int>(texts.size()));
  if (added) texts.push_back(std::move(text));
  return at->second;
}

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Compares the digit runs at a[i] and b[j] by value and moves past them.
int compare_numbers(std::string_view a, std::size_t& i, std::string_view b, std::size_t& j) {
  auto run = [](std::string_view s, std::size_t& at) {
    while (at + 1 < s.size() && s[at] == '0' && is_digit(s[at + 1])) ++at;
    std::size_t from = at;
    while (at < s.size() && is_digit(s[at])) ++at;
    return s.substr(from, at - from);
  };
  std::string_view x = run(a, i);
  std::string_view y = run(b, j);
  if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
  return x.compare(y);
}

bool name_less(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (is_digit(a[i]) && is_digit(b[j])) {
      if (int d = compare_numbers(a, i, b, j); d != 0) return d < 0;
      continue;
    }
    auto x = static_cast<unsigned char>(lower(a[i++]));
    auto y = static_cast<unsigned char>(lower(b[j++]));
    if (x != y) return x < y;
  }
  return a.size() - i < b.size() - j;
}

}  // namespace

std::vector<std::size_t> name_ranks(const std::vector<std::string>& names) {
  std::vector<std::size_t> order(names.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return name_less(names[a], names[b]); });
  std::vector<std::size_t> rank(names.size());
  for (std::size_t r = 0; r < order.size(); ++r) rank[order[r]] = r;
  return rank;
}

void json_text(std::string& out, std::string_view utf8) {
  out += '"';
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    auto b = static_cast<unsigned char>(utf8[i]);
    bool line_end = b == 0xE2 && i + 2 < utf8.size() && utf8[i + 1] == '\x80' &&
                    (utf8[i + 2] == '\xA8' || utf8[i + 2] == '\xA9');
    if (line_end) {
      out += utf8[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
      i += 2;
    } else if (b == '"' || b == '\\') {
      out += '\\';
      out += static_cast<char>(b);
    } else if (b < 0x20 || b == 0x7F || b == '<' || b == '>' || b == '&') {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", b);
      out += escape;
    } else {
      out += static_cast<char>(b);
    }
  }
  out += '"';
}

void json_outside_text(std::string& out, std::string_view cp1252) {
  json_text(out, visible_text(cp1252));
}

void json_number(std::string& out, double value) {
  if (!std::isfinite(value)) value = 0;
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  std::string_view number = text;
  if (number.find('.') != std::string_view::npos) {
    number = number.substr(0, number.find_last_not_of('0') + 1);
    if (number.back() == '.') number.remove_suffix(1);
  }
  out += number == "-0" ? "0" : number;
}

void json_int(std::string& out, const std::optional<std::int64_t>& value) {
  out += value ? std::to_string(*value) : "null";
}

void json_texts(std::string& out, const std::vector<std::string>& utf8) {
  out += '[';
  for (const auto& text : utf8) {
    if (out.back() != '[') out += ',';
    json_text(out, text);
  }
  out += ']';
}

void json_trim_nulls(std::string& row) {
  constexpr std::string_view kNull = ",null";
  while (std::string_view(row).ends_with(kNull)) row.resize(row.size() - kNull.size());
}

std::string page_data_json(const std::vector<std::string>& words, const TextTable& texts,
                           const std::vector<DataList>& lists) {
  std::string out = "{\"all\":" + std::to_string(kEveryRowUpTo) + ",\"words\":";
  json_texts(out, words);
  out += ",\"texts\":";
  json_texts(out, texts.texts);
  for (const auto& [name, json] : lists) {
    out += ',';
    json_text(out, name);
    out += ':';
    out += json;
  }
  return out + "}";
}

std::string data_block_html(std::string_view json) {
  return "<script type=\"application/json\" id=\"data\">" + std::string(json) + "</script>\n";
}
