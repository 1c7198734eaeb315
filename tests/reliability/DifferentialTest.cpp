// The flat exports (one global calculator with a long history) against
// independent C++ instances and a handle: for every rule of a corpus, the
// listings, the analysis, the run and every text must be the same (the
// handle's texts compared up to the flat exports' 2047-byte cut). The corpus is the seed
// corpus of the sentence fuzzer with its variable table, and generated
// rules. (The shared library itself is compared with instances on the
// black-box scenarios by compare_drivers.py.)

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "boundary/RuleCalc.h"
#include "boundary/ResultBuffer.h"
#include "support/HandleCalls.h"
#include "support/RuleAnswers.h"
#include "support/SentenceGenerator.h"

namespace rulecalc {
namespace {

using testing::SGeneratedRule;
using testing::SVariable;

// The variable table of the sentence fuzzer's seeds.
std::vector<SVariable> SeedVariables() {
  return {{"A", "5", 0},          {"B", "-2.5", 0}, {"C", "", 0},     {"D", "45356.5", 0},
          {"E", "1e308", 0},      {"F", "-657434", 0}, {"G", "2958465.999", 0}, {"H", "abc", 0},
          {"S", "abcdef", 1},     {"T", "", 1},     {"U", "\xd6\xd0\xce\xc4", 1},
          {"V", std::string(300, 'v'), 1},          {"Q", "7", 2},      {"R", "x", -1}};
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<SGeneratedRule> SeedRules() {
  std::vector<SGeneratedRule> rules;
  const std::filesystem::path folder = std::filesystem::path(RULECALC_SOURCE_DIR) / "fuzz" / "corpus" / "sentence";
  if (!std::filesystem::is_directory(folder)) return rules;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.is_regular_file()) rules.push_back({SeedVariables(), ReadFile(entry.path())});
  return rules;
}

std::vector<SGeneratedRule> GeneratedRules(int count) {
  testing::TSentenceGenerator generator(20261208);
  std::vector<SGeneratedRule> rules;
  for (int i = 0; i < count; ++i) rules.push_back(generator.Next());
  return rules;
}

// How the rules of a corpus came out.
struct SOutcomes {
  int FailedAnalyses = 0;
  int FalseRuns = 0;  // with an explanation
  int TrueRuns = 0;
};

SOutcomes ExpectSameEverywhere(const std::vector<SGeneratedRule>& rules) {
  SOutcomes outcomes;
  EXPECT_FALSE(rules.empty());
  testing::TFlatExports flat;
  TRuleCalc reused;  // one more calculator with a history of its own
  testing::THandleCalls handle;
  const auto cutAsTheExports = [](const char* text) { return std::string(text).substr(0, kResultBufferSize - 1); };
  for (std::size_t i = rules.size(); i-- > 0;) {
    reused.SetSentence(rules[i].Sentence.c_str());
    reused.Analyse();
  }
  for (const SGeneratedRule& rule : rules) {
    const char* sentence = rule.Sentence.c_str();
    const auto viaExports = testing::AnswerRule(flat, rule.Variables, sentence);
    auto fresh = std::make_unique<TRuleCalc>();
    const auto viaFresh = testing::AnswerRule(*fresh, rule.Variables, sentence);
    const auto viaReused = testing::AnswerRule(reused, rule.Variables, sentence);
    EXPECT_EQ(viaExports.Describe(), viaFresh.Describe()) << "sentence: " << rule.Sentence;
    EXPECT_EQ(viaReused.Describe(), viaFresh.Describe()) << "sentence: " << rule.Sentence;
    const auto viaHandle = testing::AnswerRule(handle, rule.Variables, sentence, cutAsTheExports);
    EXPECT_EQ(viaHandle.Describe(), viaFresh.Describe()) << "sentence: " << rule.Sentence;
    if (::testing::Test::HasFailure()) break;
    if (!viaFresh.Analysed) ++outcomes.FailedAnalyses;
    else if (viaFresh.Held) ++outcomes.TrueRuns;
    else if (!viaFresh.RuntimeText.empty()) ++outcomes.FalseRuns;
  }
  return outcomes;
}

TEST(Differential, FuzzSeedSentences) { ExpectSameEverywhere(SeedRules()); }

// The generator yields every kind of rule, so the comparison covers analyses
// that fail, runs that fail with explanations, and runs that hold.
TEST(Differential, GeneratedRules) {
  const SOutcomes outcomes = ExpectSameEverywhere(GeneratedRules(2000));
  EXPECT_GT(outcomes.FailedAnalyses, 100);
  EXPECT_GT(outcomes.FalseRuns, 100);
  EXPECT_GT(outcomes.TrueRuns, 100);
}

}  // namespace
}  // namespace rulecalc
