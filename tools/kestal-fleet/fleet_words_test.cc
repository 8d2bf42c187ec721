// The word tables as scripts, the JSON and the page rely on them.
#include "fleet_words.h"

#include <gtest/gtest.h>

#include <set>

#include "page_palette.h"

namespace {

TEST(FleetWords, WordsAndColoursAreDistinctWithinEachTable) {
  std::set<std::string_view> words, colours;
  for (std::size_t i = 0; i < kOutcomeCount; ++i) {
    const WordInfo& info = word_info(static_cast<Outcome>(i));
    EXPECT_TRUE(words.insert(info.word).second) << info.word;
    EXPECT_TRUE(colours.insert(info.colour).second) << info.word;
    EXPECT_EQ(outcome_of(info.word), static_cast<Outcome>(i));
    EXPECT_EQ(word_class(info.word), "k-" + std::string(info.word));
  }
  words.clear();
  colours.clear();
  for (std::size_t i = 0; i < kStateCount; ++i) {
    const WordInfo& info = word_info(static_cast<State>(i));
    EXPECT_TRUE(words.insert(info.word).second) << info.word;
    EXPECT_TRUE(colours.insert(info.colour).second) << info.word;
    EXPECT_EQ(word_class(info.word), "k-" + std::string(info.word));
  }
  EXPECT_FALSE(outcome_of("running"));
  EXPECT_EQ(word_class("<script>"), "k-other");
}

TEST(FleetWords, OnlyTransientFailuresAreRetried) {
  std::set<std::string_view> retried;
  for (std::size_t i = 0; i < kOutcomeCount; ++i)
    if (word_info(static_cast<Outcome>(i)).retried) retried.insert(kOutcomeWords[i]);
  EXPECT_EQ(retried, (std::set<std::string_view>{"hung-up", "no-answer", "unreachable"}));
}

}  // namespace
