// The outcome words of a push and the state words of a status read: one table each
// (word, page colour, whether a retry round takes it again, general meaning).
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

// In the order the recap, the JSON counts and the page list them.
enum class Outcome {
  kOk,
  kUnreachable,
  kLoginRefused,
  kEntryRefused,
  kHungUp,
  kNoAnswer,
  kSetupFailed,
  kKilled,       // the transfer was stopped: --timeout or an interrupt of the push
  kInterrupted,  // never started: the push was interrupted first
};
enum class State { kOk, kFailed, kRunning, kUnknown, kNever };

struct WordInfo {
  std::string_view word;
  std::string_view colour;   // Okabe-Ito; always shown with its word
  bool retried;              // --retries takes the terminal again
  std::string_view meaning;  // when no code says more
};

inline constexpr std::size_t kOutcomeCount = 9;
inline constexpr std::size_t kStateCount = 5;

const WordInfo& word_info(Outcome outcome);
const WordInfo& word_info(State state);
inline std::string_view word(Outcome outcome) {
  return word_info(outcome).word;
}
inline std::string_view word(State state) {
  return word_info(state).word;
}

// The word back to its value (for a JSON file read again); none for an unknown word.
std::optional<Outcome> outcome_of(std::string_view word);

// Every word in table order, for counts and the page's chart.
extern const std::array<std::string_view, kOutcomeCount> kOutcomeWords;
extern const std::array<std::string_view, kStateCount> kStateWords;
