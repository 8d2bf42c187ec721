// The word tables. Outcomes and states never share a page, so a colour may serve one
// word in each; within a table every colour is its own.
#include "fleet_words.h"

namespace {

constexpr WordInfo kOutcomes[kOutcomeCount] = {
    {"ok", "#009E73", false, "ok"},
    {"unreachable", "#E69F00", true, "the connection was never made"},
    {"login-refused", "#CC79A7", false, "the terminal refused the login"},
    {"entry-refused", "#D55E00", false, "the terminal refused an entry"},
    {"hung-up", "#56B4E9", true, "the terminal closed the connection"},
    {"no-answer", "#0072B2", true, "the terminal did not answer in time"},
    {"setup-failed", "#F0E442", false, "the run ended before the terminal stage"},
    {"killed", "#000000", false, "killed after the time-out or by a signal"},
    {"interrupted", "#999999", false, "not pushed: the push was interrupted"},
};

constexpr WordInfo kStates[kStateCount] = {
    {"ok", "#009E73", false, "ok"},
    {"failed", "#D55E00", false, "the last transfer failed"},
    {"running", "#0072B2", false, "marked running"},
    {"unknown", "#999999", false, "TrmDac holds an unknown value"},
    {"never", "#56B4E9", false, "never pushed"},
};

template <std::size_t N>
constexpr std::array<std::string_view, N> words_of(const WordInfo (&table)[N]) {
  std::array<std::string_view, N> words{};
  for (std::size_t i = 0; i < N; ++i) words[i] = table[i].word;
  return words;
}

}  // namespace

constinit const std::array<std::string_view, kOutcomeCount> kOutcomeWords = words_of(kOutcomes);
constinit const std::array<std::string_view, kStateCount> kStateWords = words_of(kStates);

const WordInfo& word_info(Outcome outcome) {
  return kOutcomes[static_cast<std::size_t>(outcome)];
}
const WordInfo& word_info(State state) {
  return kStates[static_cast<std::size_t>(state)];
}

std::optional<Outcome> outcome_of(std::string_view word) {
  for (std::size_t i = 0; i < kOutcomeCount; ++i)
    if (kOutcomes[i].word == word) return static_cast<Outcome>(i);
  return std::nullopt;
}
