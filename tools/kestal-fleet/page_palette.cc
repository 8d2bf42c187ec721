// The one colour table of the page. Words that share a colour never appear on the same
// page (push outcomes and status states), and every colour comes with its word as text.
#include "page_palette.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kColours = {{
    {"ok", "#009E73"},
    {"unreachable", "#E69F00"},
    {"login-refused", "#CC79A7"},
    {"entry-refused", "#D55E00"},
    {"hung-up", "#56B4E9"},
    {"no-answer", "#0072B2"},
    {"setup-failed", "#F0E442"},
    {"killed", "#000000"},
    {"failed", "#D55E00"},
    {"running", "#0072B2"},
    {"unknown", "#999999"},
    {"other", "#999999"},  // a word this page does not know
}};

}  // namespace

std::string word_class(std::string_view word) {
  for (const auto& [known, colour] : kColours) {
    if (known == word) return "k-" + std::string(word);
  }
  return "k-other";
}

std::string palette_css() {
  std::string css;
  for (const auto& [word, colour] : kColours) {
    std::string cls = "k-" + std::string(word);
    std::string hide = ".hide-" + std::string(word);
    css.append(".").append(cls).append("{--c:").append(colour).append("}\n");
    css.append(hide).append(" #rows tr.").append(cls).append(",").append(hide).append(" .tl .");
    css.append(cls).append("{display:none}\n");
  }
  return css;
}
