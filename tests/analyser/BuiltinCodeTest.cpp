#include <gtest/gtest.h>

#include "analyser/CodeListing.h"

namespace rulecalc {
namespace {

using testing::CodeOf;
using testing::SCode;

struct SCallCase {
  const char* Expression;  // compiled as the left side of "... = <right>"
  std::vector<SCode> Code;
};

void PrintTo(const SCallCase& c, std::ostream* out) { *out << c.Expression; }

class BuiltinCode : public ::testing::TestWithParam<SCallCase> {};

// Compiles "<call>=<call>;" and checks the code up to the save of the left side.
TEST_P(BuiltinCode, LeavesArgumentsInTheRegistersOfTheOpcode) {
  auto calc = testing::CalcWithVariables();
  calc->SetVarValue("K", "1", 7);
  const std::string sentence = std::string(GetParam().Expression) + "=" + GetParam().Expression + ";";
  calc->SetSentence(sentence.c_str());
  ASSERT_TRUE(calc->Analyse()) << testing::Utf8(calc->GetAnalyseError());
  auto code = CodeOf(*calc);
  ASSERT_GT(code.size(), GetParam().Code.size());
  code.resize(GetParam().Code.size());
  EXPECT_EQ(code, GetParam().Code);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, BuiltinCode,
    ::testing::Values(
        SCallCase{"LENGTH(S)", {{opMovF, "$S0", "S", 1}, {opLength, "", "", 0}}},
        SCallCase{"TODATE(S)", {{opMovF, "$S0", "S", 1}, {opTodate, "", "", 0}}},
        SCallCase{"YEAR(TODATE(\"2024-1-1\"))",
                  {{opMovD, "$S0", "2024-1-1", 1}, {opTodate, "", "", 0}, {opYear, "", "", 0}}},
        SCallCase{"lg( 100 )", {{opMovD, "$C0", "100", 0}, {opLg, "", "", 0}}},
        // The date waits on the stack while the format is computed.
        SCallCase{"TOCHAR(A, \"yyyy\")",
                  {{opMovF, "$C0", "A", 0}, {opPush, "$C0", "", 0}, {opMovD, "$S0", "yyyy", 1}, {opPop, "$C0", "", 0},
                   {opTochar, "", "", 1}}},
        SCallCase{"ADDDAYS(A,2)",
                  {{opMovF, "$C0", "A", 0}, {opPush, "$C0", "", 0}, {opMovD, "$C0", "2", 0}, {opMovR, "$C1", "$C0", 0},
                   {opPop, "$C0", "", 0}, {opAdddays, "", "", 0}}},
        SCallCase{"FINDSTR(S,\"b\")",
                  {{opMovF, "$S0", "S", 1}, {opPush, "$S0", "", 1}, {opMovD, "$S0", "b", 1}, {opMovR, "$S1", "$S0", 1},
                   {opPop, "$S0", "", 1}, {opFindstr, "", "", 0}}},
        // The text waits on the text stack while the counts are computed.
        SCallCase{"SUBSTR(S,1,2)",
                  {{opMovF, "$S0", "S", 1}, {opPush, "$S0", "", 1}, {opMovD, "$C0", "1", 0}, {opPush, "$C0", "", 0},
                   {opMovD, "$C0", "2", 0}, {opMovR, "$C1", "$C0", 0}, {opPop, "$C0", "", 0}, {opPop, "$S0", "", 1},
                   {opSubstr, "", "", 1}}},
        SCallCase{"NVL(A,2)",
                  {{opMovF, "$C0", "A", 0}, {opPush, "$C0", "", 0}, {opMovD, "$C0", "2", 0}, {opMovR, "$C1", "$C0", 0},
                   {opPop, "$C0", "", 0}, {opNvl, "", "", 0}}},
        SCallCase{"NVL(S,\"y\")",
                  {{opMovF, "$S0", "S", 1}, {opPush, "$S0", "", 1}, {opMovD, "$S0", "y", 1}, {opMovR, "$S1", "$S0", 1},
                   {opPop, "$S0", "", 1}, {opNvl, "", "", 1}}},
        // A type code other than 0 and 1 gives the numeric form.
        SCallCase{"NVL(K,1)",
                  {{opMovF, "$C0", "K", 0}, {opPush, "$C0", "", 0}, {opMovD, "$C0", "1", 0}, {opMovR, "$C1", "$C0", 0},
                   {opPop, "$C0", "", 0}, {opNvl, "", "", 0}}},
        // NULL as a later argument takes the type of the push before it...
        SCallCase{"NVL(A,NULL)",
                  {{opMovF, "$C0", "A", 0}, {opPush, "$C0", "", 0}, {opMovD, "$C0", "0.0000001", 0},
                   {opMovR, "$C1", "$C0", 0}, {opPop, "$C0", "", 0}, {opNvl, "", "", 0}}},
        SCallCase{"FINDSTR(S,NULL)",
                  {{opMovF, "$S0", "S", 1}, {opPush, "$S0", "", 1}, {opMovD, "$S0", "", 1}, {opMovR, "$S1", "$S0", 1},
                   {opPop, "$S0", "", 1}, {opFindstr, "", "", 0}}},
        // ...so a NULL that starts SUBSTR's start is a text.
        SCallCase{"SUBSTR(S,NULL,1)",
                  {{opMovF, "$S0", "S", 1}, {opPush, "$S0", "", 1}, {opMovD, "$S0", "", 1}, {opPush, "$C0", "", 0},
                   {opMovD, "$C0", "1", 0}, {opMovR, "$C1", "$C0", 0}, {opPop, "$C0", "", 0}, {opPop, "$S0", "", 1},
                   {opSubstr, "", "", 1}}}));

}  // namespace
}  // namespace rulecalc
