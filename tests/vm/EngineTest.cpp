#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/TestCalc.h"

namespace rulecalc {
namespace {

struct SVariable {
  const char* Name;
  const char* Value;
  int Type;
};

struct SRunCase {
  const char* Sentence;
  std::vector<SVariable> Variables;
  bool Result;
  const char* RuntimeText;  // UTF-8
};

void PrintTo(const SRunCase& c, std::ostream* out) { *out << c.Sentence; }

class Engine : public ::testing::TestWithParam<SRunCase> {};

TEST_P(Engine, RunsTheSentence) {
  const SRunCase& c = GetParam();
  auto calc = testing::MakeCalc();
  for (const SVariable& v : c.Variables) calc->SetVarValue(v.Name, testing::Gbk(v.Value).c_str(), v.Type);
  calc->SetSentence(testing::Gbk(c.Sentence).c_str());
  ASSERT_TRUE(calc->Analyse()) << testing::Utf8(calc->GetAnalyseError());
  EXPECT_EQ(calc->Run(), c.Result);
  EXPECT_EQ(testing::Utf8(calc->GetRuntimeError()), c.RuntimeText);
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, Engine,
    ::testing::Values(
        SRunCase{"A>1;", {{"A", "5", 0}}, true, ""},
        SRunCase{"A>1;", {{"A", "0", 0}}, false, "A::A>1;"},
        SRunCase{"A>1 OR B>1;", {{"A", "0", 0}, {"B", "5", 0}}, true, ""},
        SRunCase{"0.1+0.2=0.3;", {}, true, ""},
        SRunCase{"A=B;", {{"A", "1", 0}, {"B", "1.000000002", 0}}, false, "A,B::A=B;"},
        SRunCase{"A=B;", {{"A", "1", 0}, {"B", "1.0000000009", 0}}, true, ""},
        SRunCase{"A<>B;", {{"A", "1", 0}, {"B", "1.0000000009", 0}}, false, "A,B::A<>B;"},
        SRunCase{"A+1=1;", {{"A", "", 0}}, true, ""},
        SRunCase{"A+1=1;", {{"A", "abc", 0}}, true, ""},
        SRunCase{"A=NULL;", {{"A", "", 0}}, true, ""},
        SRunCase{"A=0.0000001;", {{"A", "x", 0}}, true, ""},
        SRunCase{"A*2=0;", {{"A", "", 0}}, true, ""},
        SRunCase{"10/0=0;", {}, true, ""},
        SRunCase{"A/B=2.5;", {{"A", " +5e0 ", 0}, {"B", "2", 0}}, true, ""},
        SRunCase{"-A=-3;", {{"A", "3", 0}}, true, ""},
        SRunCase{"2*-3=-6;", {}, true, ""},
        SRunCase{"A--1=A+1;", {{"A", "7", 0}}, true, ""},
        SRunCase{"A-B-1=1;", {{"A", "5", 0}, {"B", "3", 0}}, true, ""},
        SRunCase{"A/B*2=5;", {{"A", "5", 0}, {"B", "2", 0}}, true, ""},
        SRunCase{"A+B*2>=10 AND A<>B;", {{"A", "4", 0}, {"B", "3", 0}}, true, ""}));

INSTANTIATE_TEST_SUITE_P(
    Texts, Engine,
    ::testing::Values(
        SRunCase{"S<\"b\" AND S>\"a\";", {{"S", "ab", 1}}, true, ""},
        SRunCase{"S<\"a\";", {{"S", "", 1}}, true, ""},
        SRunCase{"S>\"z\";", {{"S", "中", 1}}, true, ""},
        SRunCase{"S>=\"ab\";", {{"S", "ab", 1}}, true, ""},
        SRunCase{"S>=\"ac\";", {{"S", "ab", 1}}, false, "S::S>=\"ac\";"},
        SRunCase{"S||T=\"abcd\";", {{"S", "ab", 1}, {"T", "cd", 1}}, true, ""},
        SRunCase{"S=NULL;", {{"S", "", 1}}, true, ""},
        SRunCase{"S=\"中文\";", {{"S", "中文", 1}}, true, ""}));

INSTANTIATE_TEST_SUITE_P(
    IfStatements, Engine,
    ::testing::Values(
        SRunCase{"IF A>1 THEN B<2;", {{"A", "0", 0}, {"B", "7", 0}}, true, ""},
        SRunCase{"IF A>1 THEN B<2;", {{"A", "5", 0}, {"B", "1", 0}}, true, ""},
        SRunCase{"IF A>1 THEN B<2;", {{"A", "5", 0}, {"B", "7", 0}}, false, "B::IF A>1 成立则 B<2"},
        SRunCase{"IF A>1 THEN B<2 ELSE C=3;", {{"A", "0", 0}, {"B", "0", 0}, {"C", "3", 0}}, true,
                 "A,B,C::IF A>1 THEN B<2 ELSE C=3;"},
        SRunCase{"IF A>1 THEN B<2 ELSE C=3;", {{"A", "0", 0}, {"B", "0", 0}, {"C", "4", 0}}, false,
                 "C::IF A>1 不成立则 C=3"},
        SRunCase{"IF A>1 THEN B<2 ELSE C=3;", {{"A", "5", 0}, {"B", "7", 0}, {"C", "4", 0}}, false,
                 "B::IF A>1 成立则 B<2 "},
        SRunCase{"IF A>1 THEN 2<1;", {{"A", "5", 0}}, false, "IF A>1 成立则"},
        SRunCase{"IF AGE>=18 THEN SCORE>=60 ELSE SCORE>=80 AND LENGTH(NAME)>1;",
                 {{"AGE", "20", 0}, {"SCORE", "50", 0}, {"NAME", "张三", 1}}, false,
                 "SCORE::IF AGE>=18 成立则 SCORE>=60 "}));

INSTANTIATE_TEST_SUITE_P(
    Explanations, Engine,
    ::testing::Values(
        SRunCase{"A>1 AND B+A<2 OR C=3;", {{"A", "5", 0}, {"B", "9", 0}, {"C", "0", 0}}, false,
                 "B,A:: B+A<2 ;C:: C=3;"},
        SRunCase{"2<1;", {}, false, ""},
        SRunCase{"A+A>5;", {{"A", "1", 0}}, false, "A::A+A>5;"},
        SRunCase{"ABC>5;", {{"abc", "1", 0}}, false, "ABC::ABC>5;"},
        SRunCase{"A>1 AND B>1;", {{"A", "5", 0}, {"B", "0", 0}}, false, "B:: B>1;"},
        SRunCase{"A>1  AND\tB>1;", {{"A", "0", 0}, {"B", "0", 0}}, false, "A::A>1  ;B::\tB>1;"}));

TEST(EngineState, NoCodeHoldsAndKeepsTheRuntimeText) {
  auto calc = testing::MakeCalc();
  calc->Machine.RuntimeError = "kept";
  EXPECT_TRUE(calc->Run());
  EXPECT_STREQ(calc->GetRuntimeError(), "kept");
  EXPECT_TRUE(calc->Machine.Registers.BR);
}

TEST(EngineState, ExplanationsAccumulateAcrossRuns) {
  auto calc = testing::MakeCalc();
  calc->SetVarValue("A", "0", 0);
  calc->SetSentence("A>1;");
  ASSERT_TRUE(calc->Analyse());
  EXPECT_FALSE(calc->Run());
  EXPECT_FALSE(calc->Run());
  EXPECT_STREQ(calc->GetRuntimeError(), "A::A>1;A::A>1;");
  calc->Machine.ClearRuntimeError();
  EXPECT_FALSE(calc->Run());
  EXPECT_STREQ(calc->GetRuntimeError(), "A::A>1;");
}

TEST(EngineState, AValueChangedAfterAnalysisIsTheOneRunSees) {
  auto calc = testing::MakeCalc();
  calc->SetVarValue("A", "0", 0);
  calc->SetSentence("A>1;");
  ASSERT_TRUE(calc->Analyse());
  EXPECT_FALSE(calc->Run());
  calc->SetVarValue("a", "2", 0);
  EXPECT_TRUE(calc->Run());
}

TEST(EngineState, AMissingVariableStopsTheRun) {
  auto calc = testing::MakeCalc();
  calc->SetVarValue("A", "0", 0);
  calc->SetSentence("A>1;");
  ASSERT_TRUE(calc->Analyse());
  calc->Machine.Vars.Clear();
  EXPECT_FALSE(calc->Run());
  EXPECT_EQ(testing::Utf8(calc->GetRuntimeError()), "虚拟机运行时错误,变量A无初始值!");
}

TEST(EngineState, ExplanationsQuoteTheSentenceHeldAtRunTime) {
  auto calc = testing::MakeCalc();
  calc->SetVarValue("A", "0", 0);
  calc->SetSentence("A>1;");
  ASSERT_TRUE(calc->Analyse());
  calc->SetSentence("Z<9 ;");
  EXPECT_FALSE(calc->Run());
  EXPECT_STREQ(calc->GetRuntimeError(), "Z::Z<9 ;");
}

// The scanners leave the tokeniser where they stopped, and Analyse goes on
// from there.
TEST(EngineState, AnalyseAfterRunContinuesWhereTheScannersStopped) {
  auto calc = testing::MakeCalc();
  calc->SetVarValue("A", "0", 0);
  calc->SetVarValue("B", "0", 0);
  calc->SetSentence("A>1; B<1;");
  ASSERT_TRUE(calc->Analyse());
  EXPECT_FALSE(calc->Run());
  EXPECT_EQ(calc->Tokeniser.Position, 4);
  EXPECT_EQ(calc->Tokeniser.WordType, wtSemicolon);
  ASSERT_TRUE(calc->Analyse());
  EXPECT_EQ(calc->Machine.Code.back().OpCode, opLess);
}

TEST(EngineState, RunDoesNotChangeTheCode) {
  auto calc = testing::MakeCalc();
  calc->SetVarValue("A", "3", 0);
  calc->SetSentence("IF A>1 THEN A<2 ELSE A=0;");
  ASSERT_TRUE(calc->Analyse());
  const auto before = calc->Machine.Code.size();
  EXPECT_FALSE(calc->Run());
  EXPECT_FALSE(calc->Run());
  EXPECT_EQ(calc->Machine.Code.size(), before);
  EXPECT_EQ(calc->Machine.FloatTop, 0);
}

}  // namespace
}  // namespace rulecalc

namespace rulecalc {
namespace {

// Under a decimal comma, host values use the comma while number literals in
// a sentence keep their point.
TEST(EngineDecimalComma, LiteralsKeepThePointAndValuesFollowThePlatform) {
  SHostEnvironment environment = testing::FixedEnvironment();
  environment.Settings.DecimalSeparator = ',';
  auto calc = testing::MakeCalc(environment);
  calc->SetVarValue("A", "2,5", 0);
  calc->SetVarValue("B", "2.5", 0);
  calc->SetSentence("A=2.5 AND 2.5*2=5 AND B=NULL;");
  ASSERT_TRUE(calc->Analyse());
  EXPECT_TRUE(calc->Run()) << calc->GetRuntimeError();
}

}  // namespace
}  // namespace rulecalc
