#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "BatchTestSupport.h"
#include "boundary/RuleCalc.h"
#include "batch/calc/Evaluation.h"
#include "batch/calc/RunErrors.h"
#include "batch/calc/ValueKind.h"
#include "batch/RuleVariables.h"
#include "common/Messages.h"

namespace rulecalc::batch {
namespace {

using testing::Gbk;

struct SOutcomeCase {
  const char* Sentence;
  std::vector<SVariable> Variables;
  EMOutcome Outcome;
  std::string Text;  // UTF-8
};

class OutcomeCases : public ::testing::TestWithParam<SOutcomeCase> {};

TEST_P(OutcomeCases, TellsHeldFailedAndAnalysisErrorsApart) {
  const SOutcomeCase& c = GetParam();
  TRuleCalc calc;
  const SEvaluation evaluation = Evaluate(calc, c.Sentence, c.Variables, EMStep::AnalyseAndRun);
  EXPECT_EQ(evaluation.Outcome, c.Outcome);
  EXPECT_EQ(evaluation.Text, Gbk(c.Text));
}

INSTANTIATE_TEST_SUITE_P(
    Sentences, OutcomeCases,
    ::testing::Values(SOutcomeCase{"A>1;", {{"A", "5", vtNumber}}, EMOutcome::Held, ""},
                      SOutcomeCase{"A>1;", {{"A", "0", vtNumber}}, EMOutcome::Failed, "A::A>1;"},
                      SOutcomeCase{"2<1;", {}, EMOutcome::Failed, ""},
                      SOutcomeCase{"A>1", {{"A", "5", vtNumber}}, EMOutcome::AnalysisError, "表达式语句结尾处缺少分号!"},
                      SOutcomeCase{"IF A>1 THEN B<2;", {{"A", "5", vtNumber}, {"B", "7", vtNumber}},
                                   EMOutcome::Failed, "B::IF A>1 成立则 B<2"}));

// The library keeps explanations across runs unless it is cleared; every
// evaluation starts afresh, so the second one explains itself only.
TEST(Evaluate, ExplanationDoesNotCarryOverToTheNextEvaluation) {
  TRuleCalc calc;
  const std::vector<SVariable> first{{"A", "0", vtNumber}, {"B", "9", vtNumber}};
  const std::vector<SVariable> second{{"A", "9", vtNumber}, {"B", "0", vtNumber}};
  EXPECT_EQ(Evaluate(calc, "A>1 AND B>1;", first, EMStep::AnalyseAndRun).Text, "A::A>1 ;");
  EXPECT_EQ(Evaluate(calc, "A>1 AND B>1;", second, EMStep::AnalyseAndRun).Text, "B:: B>1;");
  EXPECT_EQ(Evaluate(calc, "A>1 AND B>1;", second, EMStep::AnalyseAndRun).Text, "B:: B>1;");
}

TEST(Evaluate, AnalyseOnlyDoesNotRun) {
  TRuleCalc calc;
  const SEvaluation evaluation = Evaluate(calc, "A>1;", {{"A", "0", vtNumber}}, EMStep::AnalyseOnly);
  EXPECT_EQ(evaluation.Outcome, EMOutcome::Held);
  EXPECT_EQ(evaluation.Text, "");
}

struct SRunTextCase {
  std::string Text;
  bool IsError;
};

class RunTextCases : public ::testing::TestWithParam<SRunTextCase> {};

TEST_P(RunTextCases, RunErrorsAreTheLibraryRunTimeMessages) {
  EXPECT_EQ(IsRunError(GetParam().Text), GetParam().IsError);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RunTextCases,
    ::testing::Values(SRunTextCase{Message(mFloatStackOverflow), true},
                      SRunTextCase{Message(mStringStackOverflow), true},
                      SRunTextCase{std::string(Message(mNoInitialValuePrefix)) + "AGE" + Message(mNoInitialValueSuffix), true},
                      SRunTextCase{Message(mNoInitialValuePrefix), false},
                      SRunTextCase{"A::A>1;", false},
                      SRunTextCase{"", false}));

struct SValueCase {
  const char* Value;
  char Separator;
  EMValueType Expected;
};

class ValueTypeCases : public ::testing::TestWithParam<SValueCase> {};

TEST_P(ValueTypeCases, NumbersAsTheLibraryReadsThem) {
  const SValueCase& c = GetParam();
  EXPECT_EQ(InferValueType(c.Value, c.Separator), c.Expected) << c.Value;
}

INSTANTIATE_TEST_SUITE_P(Values, ValueTypeCases,
                         ::testing::Values(SValueCase{"", '.', vtNumber}, SValueCase{"42", '.', vtNumber},
                                           SValueCase{" -1.5e3 ", '.', vtNumber}, SValueCase{".5", '.', vtNumber},
                                           SValueCase{"1,5", '.', vtText}, SValueCase{"1,5", ',', vtNumber},
                                           SValueCase{"1.5", ',', vtText}, SValueCase{"abc", '.', vtText},
                                           SValueCase{"12abc", '.', vtText}, SValueCase{"0x10", '.', vtText}));

TEST(RuleVariables, EachNameOnceWhereItFirstComesLetterCaseIgnored) {
  std::string found;
  for (const SNamedVariable& v : VariablesOfSentence("a + A + b1 + \"c\" + B1 > LENGTH(c_2);", ELanguage::Classic)) {
    found += v.GbkName + "@" + std::to_string(v.FirstAt.Offset) + "+" + std::to_string(v.FirstAt.Length) + " ";
  }
  EXPECT_EQ(found, "a@0+1 b1@8+2 c_2@31+3 ");
}

TEST(RuleVariables, TheNearestColumnIsALikelySlipOnly) {
  std::vector<SColumn> columns(4);
  columns[0].GbkName = "INCOME";
  columns[1].GbkName = "AGE";
  columns[2].GbkName = "NOBODY X";
  columns[2].Unusable = "a name cannot hold a blank";
  columns[3].GbkName = "Household_Size";
  const struct {
    const char* Name;
    int Column;  // -1: none
  } cases[] = {{"income", 0}, {"INCOM", 0}, {"AG", 1}, {"household_sizes", 3}, {"NOBODY", -1}, {"SCORE", -1}, {"B", -1}};
  for (const auto& c : cases) {
    const std::optional<std::size_t> nearest = NearestColumn(c.Name, columns);
    EXPECT_EQ(nearest ? static_cast<int>(*nearest) : -1, c.Column) << c.Name;
  }
}

}  // namespace
}  // namespace rulecalc::batch
