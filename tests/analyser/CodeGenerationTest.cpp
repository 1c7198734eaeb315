#include <gtest/gtest.h>

#include "analyser/CodeListing.h"

namespace rulecalc {
namespace {

using testing::CalcWithVariables;
using testing::CodeOf;
using testing::SCode;

struct SCodeCase {
  const char* Sentence;
  std::vector<SCode> Code;
};

void PrintTo(const SCodeCase& c, std::ostream* out) { *out << c.Sentence; }

class CodeGeneration : public ::testing::TestWithParam<SCodeCase> {};

void ExpectCode(const SCodeCase& c, ELanguage language) {
  auto calc = CalcWithVariables();
  calc->SetLanguage(language);
  calc->SetSentence(c.Sentence);
  ASSERT_TRUE(calc->Analyse()) << testing::Utf8(calc->GetAnalyseError());
  EXPECT_EQ(CodeOf(*calc), c.Code) << c.Sentence;
}

TEST_P(CodeGeneration, EmitsTheRecords) { ExpectCode(GetParam(), ELanguage::Classic); }

const std::vector<SCode> kAPlusBTimes2 = {
    {opMovF, "$C0", "A", 0}, {opPush, "$C0", "", 0}, {opMovF, "$C0", "B", 0}, {opPush, "$C0", "", 0},
    {opMovD, "$C0", "2", 0}, {opMovR, "$C1", "$C0", 0}, {opPop, "$C0", "", 0}, {opMul, "", "", 0},
    {opMovR, "$C1", "$C0", 0}, {opPop, "$C0", "", 0}, {opAdd, "", "", 0}};

std::vector<SCode> Then(std::vector<SCode> code, const std::vector<SCode>& more) {
  code.insert(code.end(), more.begin(), more.end());
  return code;
}

INSTANTIATE_TEST_SUITE_P(
    Statements, CodeGeneration,
    ::testing::Values(
        SCodeCase{";", {}},
        SCodeCase{"  ;", {}},
        SCodeCase{"A>1 AND B<2;",
                  {{opMovF, "$C0", "A", 0}, {opMovR, "$R0", "$C0", 0}, {opMovD, "$C0", "1", 0}, {opGreat, "", "", 0},
                   {opPush, "$BR", "", 0}, {opMovF, "$C0", "B", 0}, {opMovR, "$R0", "$C0", 0}, {opMovD, "$C0", "2", 0},
                   {opLess, "", "", 0}, {opPop, "$BR1", "", 0}, {opAnd, "", "", 0}}},
        SCodeCase{"A+B*2>1;", Then(kAPlusBTimes2, {{opMovR, "$R0", "$C0", 0}, {opMovD, "$C0", "1", 0}, {opGreat, "", "", 0}})},
        SCodeCase{"S=\"x\";",
                  {{opMovF, "$S0", "S", 1}, {opMovR, "$RS", "$S0", 1}, {opMovD, "$S0", "x", 1}, {opEqual, "", "", 1}}},
        SCodeCase{"S<T;", {{opMovF, "$S0", "S", 1}, {opMovR, "$RS", "$S0", 1}, {opMovF, "$S0", "T", 1}, {opLess, "", "", 1}}},
        SCodeCase{"S||\"x\"=\"\";",
                  {{opMovF, "$S0", "S", 1}, {opPush, "$S0", "", 1}, {opMovD, "$S0", "x", 1}, {opMovR, "$S1", "$S0", 1},
                   {opPop, "$S0", "", 1}, {opContact, "", "", 1}, {opMovR, "$RS", "$S0", 1}, {opMovD, "$S0", "", 1},
                   {opEqual, "", "", 1}}},
        SCodeCase{"IF A>1 THEN B<2 ELSE C=3;",
                  {{opNOP, "$IF", "", 0}, {opMovF, "$C0", "A", 0}, {opMovR, "$R0", "$C0", 0}, {opMovD, "$C0", "1", 0},
                   {opGreat, "", "", 0}, {opJNB, "Label1", "", 0}, {opNOP, "$THEN", "", 0}, {opMovF, "$C0", "B", 0},
                   {opMovR, "$R0", "$C0", 0}, {opMovD, "$C0", "2", 0}, {opLess, "", "", 0}, {opJMP, "Label2", "", 0},
                   {opNOP, "Label1", "", 0}, {opNOP, "$ELSE", "", 0}, {opMovF, "$C0", "C", 0},
                   {opMovR, "$R0", "$C0", 0}, {opMovD, "$C0", "3", 0}, {opEqual, "", "", 0}, {opNOP, "Label2", "", 0}}},
        SCodeCase{"if a>1 then b<2;",
                  {{opNOP, "$IF", "", 0}, {opMovF, "$C0", "a", 0}, {opMovR, "$R0", "$C0", 0}, {opMovD, "$C0", "1", 0},
                   {opGreat, "", "", 0}, {opJNB, "Label1", "", 0}, {opNOP, "$THEN", "", 0}, {opMovF, "$C0", "b", 0},
                   {opMovR, "$R0", "$C0", 0}, {opMovD, "$C0", "2", 0}, {opLess, "", "", 0}, {opNOP, "Label1", "", 0}}},
        // A sign loads 0 and is applied by the expression level: -A is 0 - A.
        SCodeCase{"-A>1;",
                  {{opMovD, "$C0", "0", 0}, {opPush, "$C0", "", 0}, {opMovF, "$C0", "A", 0}, {opMovR, "$C1", "$C0", 0},
                   {opPop, "$C0", "", 0}, {opSub, "", "", 0}, {opMovR, "$R0", "$C0", 0}, {opMovD, "$C0", "1", 0},
                   {opGreat, "", "", 0}}},
        // A sign right after an operator negates the one factor after it: 2*(0-3).
        SCodeCase{"2*-3<0;",
                  {{opMovD, "$C0", "2", 0}, {opPush, "$C0", "", 0}, {opMovD, "$C0", "3", 0}, {opMovR, "$C1", "$C0", 0},
                   {opMovD, "$C0", "0", 0}, {opSub, "", "", 0}, {opMovR, "$C1", "$C0", 0}, {opPop, "$C0", "", 0},
                   {opMul, "", "", 0}, {opMovR, "$R0", "$C0", 0}, {opMovD, "$C0", "0", 0}, {opLess, "", "", 0}}},
        // Each "-" of a run negates once, "+" adds nothing; after "+" or "-" the sign binds to the
        // term's first factor only: A-((0-(0-B))*C).
        SCodeCase{"A--+-B*C>1;",
                  {{opMovF, "$C0", "A", 0}, {opPush, "$C0", "", 0}, {opMovF, "$C0", "B", 0}, {opMovR, "$C1", "$C0", 0},
                   {opMovD, "$C0", "0", 0}, {opSub, "", "", 0}, {opMovR, "$C1", "$C0", 0}, {opMovD, "$C0", "0", 0},
                   {opSub, "", "", 0}, {opPush, "$C0", "", 0}, {opMovF, "$C0", "C", 0}, {opMovR, "$C1", "$C0", 0},
                   {opPop, "$C0", "", 0}, {opMul, "", "", 0}, {opMovR, "$C1", "$C0", 0}, {opPop, "$C0", "", 0},
                   {opSub, "", "", 0}, {opMovR, "$R0", "$C0", 0}, {opMovD, "$C0", "1", 0}, {opGreat, "", "", 0}}},
        // A sign after a comparison or "(" keeps loading 0: A>0-1 and (0-1).
        SCodeCase{"A>-(-1);",
                  {{opMovF, "$C0", "A", 0}, {opMovR, "$R0", "$C0", 0}, {opMovD, "$C0", "0", 0}, {opPush, "$C0", "", 0},
                   {opMovD, "$C0", "0", 0}, {opPush, "$C0", "", 0}, {opMovD, "$C0", "1", 0}, {opMovR, "$C1", "$C0", 0},
                   {opPop, "$C0", "", 0}, {opSub, "", "", 0}, {opMovR, "$C1", "$C0", 0}, {opPop, "$C0", "", 0},
                   {opSub, "", "", 0}, {opGreat, "", "", 0}}},
        // NULL takes the type of the last record; with none it is the null number.
        SCodeCase{"NULL=1;",
                  {{opMovD, "$C0", "0.0000001", 0}, {opMovR, "$R0", "$C0", 0}, {opMovD, "$C0", "1", 0},
                   {opEqual, "", "", 0}}},
        SCodeCase{"S=NULL;", {{opMovF, "$S0", "S", 1}, {opMovR, "$RS", "$S0", 1}, {opMovD, "$S0", "", 1}, {opEqual, "", "", 1}}},
        SCodeCase{"A=NULL;",
                  {{opMovF, "$C0", "A", 0}, {opMovR, "$R0", "$C0", 0}, {opMovD, "$C0", "0.0000001", 0},
                   {opEqual, "", "", 0}}},
        // Mixed types are not matched: the comparison takes the right side's type.
        SCodeCase{"A=\"x\";",
                  {{opMovF, "$C0", "A", 0}, {opMovR, "$R0", "$C0", 0}, {opMovD, "$S0", "x", 1}, {opEqual, "", "", 1}}},
        SCodeCase{"(A)>((1)); ignored",
                  {{opMovF, "$C0", "A", 0}, {opMovR, "$R0", "$C0", 0}, {opMovD, "$C0", "1", 0}, {opGreat, "", "", 0}}}));

TEST(CodeGenerationState, ASecondIfStatementUsesTheNextTwoLabels) {
  auto calc = CalcWithVariables();
  calc->SetSentence("IF A>1 THEN B>2;");
  ASSERT_TRUE(calc->Analyse());
  calc->SetSentence("IF A>1 THEN B>2;");
  ASSERT_TRUE(calc->Analyse());
  const auto code = CodeOf(*calc);
  ASSERT_EQ(code.size(), 24u);
  EXPECT_EQ(code[17], (SCode{opJNB, "Label3", "", 0}));
  EXPECT_EQ(code[23], (SCode{opNOP, "Label3", "", 0}));
  EXPECT_EQ(calc->Machine.LabelCount, 4);
}

TEST(CodeGenerationState, ASecondAnalyseContinuesAfterTheFirstSemicolon) {
  auto calc = CalcWithVariables();
  calc->SetSentence("A>1; B>2;");
  ASSERT_TRUE(calc->Analyse());
  ASSERT_TRUE(calc->Analyse());
  const auto code = CodeOf(*calc);
  ASSERT_EQ(code.size(), 8u);
  EXPECT_EQ(code[4], (SCode{opMovF, "$C0", "B", 0}));
  EXPECT_FALSE(calc->Analyse());
  EXPECT_EQ(testing::Utf8(calc->GetAnalyseError()), "表达式语法定义错误!");
}

// In the extended language a statement with NOT, IN, IS or a condition in
// brackets names each comparison's explanation ("#n"), and NOT, IN and
// brackets are groups of the explanation (one without them compiles as in
// the classic language: see LanguageEquivalenceTest).
class ExtendedCodeGeneration : public ::testing::TestWithParam<SCodeCase> {};

TEST_P(ExtendedCodeGeneration, EmitsTheRecords) { ExpectCode(GetParam(), ELanguage::Extended); }

INSTANTIATE_TEST_SUITE_P(
    Conditions, ExtendedCodeGeneration,
    ::testing::Values(
        SCodeCase{"NOT (A>1);",
                  {{opMark, "", "", 0}, {opMark, "", "", 0}, {opMovF, "$C0", "A", 0}, {opMovR, "$R0", "$C0", 0},
                   {opMovD, "$C0", "1", 0}, {opGreat, "#", "", 0}, {opUnmark, "", "", 0}, {opNot, "", "", 0},
                   {opExplain, "#0", "", 0}}},
        SCodeCase{"(A>1 OR B>1) AND S IS NOT EMPTY;",
                  {{opMark, "", "", 0}, {opMovF, "$C0", "A", 0}, {opMovR, "$R0", "$C0", 0}, {opMovD, "$C0", "1", 0},
                   {opGreat, "#0", "", 0}, {opPush, "$BR", "", 0}, {opMovF, "$C0", "B", 0}, {opMovR, "$R0", "$C0", 0},
                   {opMovD, "$C0", "1", 0}, {opGreat, "#1", "", 0}, {opPop, "$BR1", "", 0}, {opOr, "", "", 0},
                   {opUnmark, "", "", 0}, {opPush, "$BR", "", 0}, {opMovF, "$S0", "S", 1}, {opMovR, "$RS", "$S0", 1},
                   {opMovD, "$S0", "", 1}, {opUnequal, "#2", "", 1}, {opPop, "$BR1", "", 0}, {opAnd, "", "", 0}}},
        SCodeCase{"A NOT IN (1, -2);",
                  {{opMovF, "$C0", "A", 0}, {opMark, "", "", 0}, {opMovR, "$R0", "$C0", 0}, {opMovD, "$C0", "1", 0},
                   {opEqual, "#", "", 0}, {opPush, "$BR", "", 0}, {opMovD, "$C0", "-2", 0}, {opEqual, "#", "", 0},
                   {opPop, "$BR1", "", 0}, {opOr, "", "", 0}, {opNot, "", "", 0}, {opExplain, "#0", "", 0}}},
        SCodeCase{"S IN (\"x\", NULL);",
                  {{opMovF, "$S0", "S", 1}, {opMark, "", "", 0}, {opMovR, "$RS", "$S0", 1}, {opMovD, "$S0", "x", 1},
                   {opEqual, "#", "", 1}, {opPush, "$BR", "", 0}, {opMovD, "$S0", "", 1}, {opEqual, "#", "", 1},
                   {opPop, "$BR1", "", 0}, {opOr, "", "", 0}, {opExplain, "#0", "", 0}}}));

TEST(CodeGenerationState, AFailedIfKeepsWhatItAppendedAndItsLabels) {
  auto calc = CalcWithVariables();
  calc->SetSentence("IF A>1 B>2;");
  EXPECT_FALSE(calc->Analyse());
  const auto code = CodeOf(*calc);
  ASSERT_EQ(code.size(), 5u);
  EXPECT_EQ(code[0], (SCode{opNOP, "$IF", "", 0}));
  EXPECT_EQ(calc->Machine.LabelCount, 2);
}

TEST(CodeGenerationState, NullAfterAnEarlierStatementTakesItsLastType) {
  auto calc = CalcWithVariables();
  calc->SetSentence("S=T; NULL=\"\";");
  ASSERT_TRUE(calc->Analyse());
  ASSERT_TRUE(calc->Analyse());
  EXPECT_EQ(CodeOf(*calc)[4], (SCode{opMovD, "$S0", "", 1}));
}

}  // namespace
}  // namespace rulecalc
