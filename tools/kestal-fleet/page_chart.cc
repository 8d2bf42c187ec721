// Bar chart and filter of the counts per word. The numbers are text in the chart, not
// only bar lengths, so the chart reads without colour and without scripts.
#include "page_chart.h"

#include <algorithm>

#include "html_text.h"
#include "page_palette.h"

namespace {

constexpr int kRow = 26;
constexpr int kLabelWidth = 120;
constexpr int kBarWidth = 400;

std::string percent(int count, int total) {
  if (total == 0) return "";
  int tenths = static_cast<int>((count * 1000LL + total / 2) / total);
  return " (" + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " %)";
}

}  // namespace

int word_index(const std::vector<WordCount>& counts, std::string_view word) {
  for (std::size_t i = 0; i < counts.size(); ++i) {
    if (counts[i].word == word) return static_cast<int>(i);
  }
  return static_cast<int>(counts.size()) - 1;
}

std::vector<std::string> word_list(const std::vector<WordCount>& counts) {
  std::vector<std::string> words;
  words.reserve(counts.size());
  for (const auto& c : counts) words.emplace_back(c.word);
  return words;
}

std::string count_chart_svg(const std::vector<WordCount>& counts, std::string_view caption) {
  int total = 0;
  int most = 1;
  for (const auto& c : counts) {
    total += c.count;
    most = std::max(most, c.count);
  }
  auto height = static_cast<int>(counts.size()) * kRow + 4;
  std::string out = "<svg class=\"chart\" width=\"640\" height=\"" + std::to_string(height) +
                    "\" viewBox=\"0 0 640 " + std::to_string(height) +
                    "\" role=\"img\" aria-label=\"" + html_escape(caption) + "\">\n";
  int y = 2;
  for (const auto& c : counts) {
    int width = c.count == 0 ? 0 : std::max(2, c.count * kBarWidth / most);
    std::string word = html_escape(c.word);
    out += "<g class=\"bar " + word_class(c.word) + "\" data-word=\"" + word + "\">";
    out += "<text x=\"" + std::to_string(kLabelWidth - 8) + "\" y=\"" + std::to_string(y + 17) +
           "\" text-anchor=\"end\">" + word + "</text>";
    out += "<rect x=\"" + std::to_string(kLabelWidth) + "\" y=\"" + std::to_string(y + 3) +
           "\" width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(kRow - 6) +
           "\"/>";
    out += "<text x=\"" + std::to_string(kLabelWidth + width + 6) + "\" y=\"" +
           std::to_string(y + 17) + "\"><tspan class=\"n\">" + std::to_string(c.count) +
           "</tspan><tspan class=\"pc\">" + percent(c.count, total) + "</tspan></text>";
    out += "</g>\n";
    y += kRow;
  }
  return out + "</svg>\n";
}

std::string filter_html(const std::vector<WordCount>& counts) {
  std::string out = "<fieldset id=\"filter\" hidden><legend>Show</legend>\n";
  for (const auto& c : counts) {
    if (c.count == 0) continue;
    std::string word = html_escape(c.word);
    std::string count = std::to_string(c.count);
    out.append("<label class=\"").append(word_class(c.word));
    out.append("\"><input type=\"checkbox\" value=\"").append(word);
    out.append("\" data-count=\"").append(count).append("\" checked><i></i>");
    out.append(word).append(" (").append(count).append(")</label>\n");
  }
  return out + "<output id=\"shown\"></output></fieldset>\n";
}
