// The page's data block: the terminals as compact JSON in a script element the browser
// never runs, written so that no text inside can end the element.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "html_text.h"

// Up to this many terminals every row stays in the document (so the browser's find and
// printing see them all) and the timeline has one SVG bar each; above it the table shows
// the rows in view and the timeline is drawn into a canvas.
inline constexpr std::size_t kEveryRowUpTo = 2000;

// Texts many rows share (meanings, replies, users): written once, rows hold the index.
struct TextTable {
  std::unordered_map<std::string, int> index;
  std::vector<std::string> texts;  // UTF-8, as shown
  int add(std::string_view cp1252);
};

// Each name's rank in the order readers expect of names: letters regardless of case,
// runs of digits by value ("store-9" before "store-10"), equal names in the given order.
std::vector<std::size_t> name_ranks(const std::vector<std::string>& names);

// A JSON string of UTF-8 text; '<', '>', '&', U+2028 and U+2029 are escaped too.
void json_text(std::string& out, std::string_view utf8);
// Windows-1252 bytes from outside, as the characters the page shows for them.
void json_outside_text(std::string& out, std::string_view cp1252);
// A number with at most two decimals ("12.5", "3"); 0 when not finite.
void json_number(std::string& out, double value);
void json_int(std::string& out, const std::optional<std::int64_t>& value);  // or null
void json_texts(std::string& out, const std::vector<std::string>& utf8);

// The data object: the row threshold, the words, the shared texts, and `lists`, each a
// name and its JSON value.
using DataList = std::pair<std::string_view, std::string>;
std::string page_data_json(const std::vector<std::string>& words, const TextTable& texts,
                           const std::vector<DataList>& lists);

// Drops the nulls that end a row being written, so rows without the last fields
// (no code, no age) cost nothing for them.
void json_trim_nulls(std::string& row);

// The rows of the data block, one per item: [name, name's rank, ...what `fields` appends,
// each field led by a comma], with trailing nulls dropped.
template <typename Items, typename NameOf, typename Fields>
std::string data_rows(const Items& items, NameOf name_of, Fields fields);

// The element holding `json` (an object), read by the page's script as id "data".
std::string data_block_html(std::string_view json);

template <typename Items, typename NameOf, typename Fields>
std::string data_rows(const Items& items, NameOf name_of, Fields fields) {
  std::vector<std::string> names;
  names.reserve(items.size());
  for (const auto& item : items) names.push_back(visible_text(name_of(item)));
  auto ranks = name_ranks(names);
  std::string rows = "[";
  rows.reserve(items.size() * 48);
  std::size_t i = 0;
  for (const auto& item : items) {
    if (i > 0) rows += ',';
    rows += '[';
    json_text(rows, names[i]);
    rows += ',' + std::to_string(ranks[i++]);
    fields(rows, item);
    json_trim_nulls(rows);
    rows += ']';
  }
  return rows + "]";
}
