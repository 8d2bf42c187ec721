// Colours of the outcome and state words on the fleet page, one table for the chart,
// the timeline, the table rows and the filter (Okabe-Ito, safe for colour-blind readers).
#pragma once

#include <string>
#include <string_view>

// The CSS class of a word ("k-" plus the word); "k-other" for a word not in the table.
std::string word_class(std::string_view word);

// One rule per word: its colour, and hiding its rows and timeline bars while the
// filter leaves it out (the script toggles "hide-<word>" on the body).
std::string palette_css();
