// The one colour table of the page, taken from the word tables. Words that share a
// colour never appear on the same page (push outcomes and status states), and every
// colour comes with its word as text.
#include "page_palette.h"

#include <vector>

#include "fleet_words.h"

namespace {

struct Colour {
  std::string_view word;
  std::string_view colour;
};

// Each word once ("ok" is in both tables, with one colour), then "other".
std::vector<Colour> build_colours() {
  std::vector<Colour> all;
  auto add = [&all](const WordInfo& info) {
    for (const Colour& c : all)
      if (c.word == info.word) return;
    all.push_back({info.word, info.colour});
  };
  for (std::size_t i = 0; i < kOutcomeCount; ++i) add(word_info(static_cast<Outcome>(i)));
  for (std::size_t i = 0; i < kStateCount; ++i) add(word_info(static_cast<State>(i)));
  all.push_back({"other", "#999999"});  // a word this page does not know
  return all;
}

const std::vector<Colour>& colours() {
  static const std::vector<Colour> all = build_colours();
  return all;
}

}  // namespace

std::string word_class(std::string_view word) {
  for (const Colour& c : colours()) {
    if (c.word == word && word != "other") return "k-" + std::string(word);
  }
  return "k-other";
}

std::string palette_css() {
  std::string css;
  for (const auto& [word, colour] : colours()) {
    std::string cls = "k-" + std::string(word);
    std::string hide = ".hide-" + std::string(word);
    css.append(".").append(cls).append("{--c:").append(colour).append("}\n");
    css.append(hide).append(" #rows tr.").append(cls).append(",").append(hide).append(" .tl .");
    css.append(cls).append("{display:none}\n");
  }
  return css;
}
