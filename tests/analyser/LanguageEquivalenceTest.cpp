#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/LanguageAnswers.h"
#include "support/SentenceGenerator.h"
#include "support/TestCalc.h"

namespace rulecalc {
namespace {

std::unique_ptr<TRuleCalc> CalcReading(ELanguage language) {
  auto calc = testing::MakeCalc();
  calc->SetLanguage(language);
  return calc;
}

// Every keyword of the extended language, in some letter case, as a
// variable name: the classic language reads the sentence, the extended one
// refuses it.
class KeywordNames : public ::testing::TestWithParam<const char*> {};

TEST_P(KeywordNames, AreVariablesOnlyInTheClassicLanguage) {
  const std::vector<testing::SVariable> variables = {{"NOT", "1", 0}, {"In", "2", 0}, {"is", "3", 0},
      {"Empty", "", 1}, {"TRIM", "x", 1}, {"upper", "X", 1}, {"Lower", "x", 1}, {"REPLACE", "r", 1},
      {"ToNumber", "4", 0}, {"round", "5", 0}, {"ABS", "6", 0}, {"mod", "7", 0}, {"LengthC", "8", 0},
      {"SUBSTRC", "s", 1}, {"findstrc", "9", 0}, {"A", "1", 0}};
  auto classic = CalcReading(ELanguage::Classic);
  auto extended = CalcReading(ELanguage::Extended);
  EXPECT_TRUE(testing::AccountOfRule(*classic, variables, GetParam()).Analysed);
  const auto viaExtended = testing::AccountOfRule(*extended, variables, GetParam());
  EXPECT_TRUE(testing::RefusedForKeyword(viaExtended)) << testing::Utf8(viaExtended.FirstError);
}

INSTANTIATE_TEST_SUITE_P(
    EachKeyword, KeywordNames,
    ::testing::Values("NOT>0;", "A>1 AND In=2;", "IF is>1 THEN A>0;", "Empty=\"\";", "TRIM||\"y\"=\"xy\";",
                      "A>0 OR upper=\"X\";", "IF A>0 THEN A>1 ELSE Lower=\"x\";", "LENGTH(REPLACE)=1;",
                      "ToNumber+1>0;", "round*2>0;", "-ABS<0;", "NVL(mod,1)=7;", "(LengthC)>1;",
                      "SUBSTR(SUBSTRC,0,1)=\"s\";", "A>1 AND findstrc>1;"));

// How the generated rules of one seed came out.
struct SOutcomes {
  int FailedAnalyses = 0;
  int FalseRuns = 0;
  int TrueRuns = 0;
  int KeywordNamesRefused = 0;
};

// Generated rules through a classic and an extended calculator: the same
// account for every sentence that names no keyword of the extended language
// and that the classic language analyses;
// one whose first statement does, and which the classic language analyses,
// does not analyse in the extended one.
SOutcomes CompareLanguages(std::uint64_t seed, int rules) {
  testing::TSentenceGenerator generator(seed, {/*KeywordNames=*/true});
  auto classic = CalcReading(ELanguage::Classic);
  auto extended = CalcReading(ELanguage::Extended);
  SOutcomes outcomes;
  for (int i = 0; i < rules && !::testing::Test::HasFailure(); ++i) {
    const testing::SGeneratedRule rule = generator.Next();
    const auto viaClassic = testing::AccountOfRule(*classic, rule.Variables, rule.Sentence);
    const auto viaExtended = testing::AccountOfRule(*extended, rule.Variables, rule.Sentence);
    if (testing::NamesExtendedKeyword(rule.Sentence)) {
      if (viaClassic.Analysed &&
          testing::NamesExtendedKeyword(rule.Sentence.substr(0, viaClassic.FirstStatementEnd))) {
        EXPECT_TRUE(testing::RefusedForKeyword(viaExtended)) << "sentence: " << rule.Sentence;
        ++outcomes.KeywordNamesRefused;
      }
      continue;
    }
    EXPECT_TRUE(testing::SameWhereClassicAnalysed(viaClassic, viaExtended))
        << "sentence: " << rule.Sentence << "\nclassic:\n" << viaClassic.Text << "\nextended:\n" << viaExtended.Text;
    if (!viaClassic.Analysed) {
      ++outcomes.FailedAnalyses;
      continue;
    }
    if (viaClassic.Text.find("run 0 ") != std::string::npos) ++outcomes.TrueRuns;
    else ++outcomes.FalseRuns;
  }
  return outcomes;
}

class GeneratedRules : public ::testing::TestWithParam<std::uint64_t> {};

// Each seed's rules cover failed analyses, runs that hold and runs that do
// not, and keyword names refused, so that no seed compares next to nothing
// (the counts differ between compilers, which order the generator's calls
// differently).
TEST_P(GeneratedRules, MeanTheSameInBothLanguages) {
  const SOutcomes outcomes = CompareLanguages(GetParam(), 1000);
  EXPECT_GT(outcomes.FailedAnalyses, 50);
  EXPECT_GT(outcomes.TrueRuns, 50);
  EXPECT_GT(outcomes.FalseRuns, 25);
  EXPECT_GT(outcomes.KeywordNamesRefused, 20);
}

INSTANTIATE_TEST_SUITE_P(Seeds, GeneratedRules, ::testing::Values(20261209u, 1u, 2u, 3u));

}  // namespace
}  // namespace rulecalc
