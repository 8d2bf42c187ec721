// The counts per outcome (or state) of the fleet page: an SVG bar chart with the
// numbers written on it, and the filter boxes that show or hide each word's rows.
#pragma once

#include <iterator>
#include <string>
#include <string_view>
#include <vector>

struct WordCount {
  std::string_view word;
  int count = 0;
};

// Counts of `words` among the words of `items`, in the order of `words`; item words not
// among them are counted under "other", listed only when there are any.
template <typename Words, typename Items, typename WordOf>
std::vector<WordCount> count_words(const Words& words, const Items& items, WordOf word_of);

// Where a word stands in `counts`, as the page's data rows give it; a word not among
// them stands for "other", which count_words lists last whenever such words occur.
int word_index(const std::vector<WordCount>& counts, std::string_view word);

// The words of `counts`, in their order.
std::vector<std::string> word_list(const std::vector<WordCount>& counts);

std::string count_chart_svg(const std::vector<WordCount>& counts, std::string_view caption);

// A hidden fieldset the script shows: one box per word that occurs, with its count.
std::string filter_html(const std::vector<WordCount>& counts);

template <typename Words, typename Items, typename WordOf>
std::vector<WordCount> count_words(const Words& words, const Items& items, WordOf word_of) {
  std::vector<WordCount> counts;
  counts.reserve(std::size(words) + 1);
  for (std::string_view w : words) counts.push_back({w, 0});
  WordCount other{"other", 0};
  for (const auto& item : items) {
    std::string_view found = word_of(item);
    bool known = false;
    for (auto& c : counts) {
      if (c.word == found) {
        ++c.count;
        known = true;
      }
    }
    if (!known) ++other.count;
  }
  if (other.count > 0) counts.push_back(other);
  return counts;
}
