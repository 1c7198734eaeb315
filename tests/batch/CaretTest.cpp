#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "BatchTestSupport.h"
#include "boundary/RuleCalc.h"
#include "batch/calc/CaretPicture.h"
#include "batch/calc/Evaluation.h"

namespace rulecalc::batch {
namespace {

using testing::Gbk;

struct SCaretCase {
  const char* Name;
  std::string Sentence;  // UTF-8
  std::size_t Offset;    // GBK bytes
  std::size_t Length;
  std::size_t LineNumber;
  std::string Line;  // UTF-8
  std::string Marker;
};

class CaretCases : public ::testing::TestWithParam<SCaretCase> {};

TEST_P(CaretCases, CaretSitsUnderTheTokenInTerminalColumns) {
  const SCaretCase& c = GetParam();
  TDisplayColumns columns;
  const SCaretPicture picture = DrawCaret(Gbk(c.Sentence), SFailurePoint{c.Offset, c.Length}, columns);
  EXPECT_EQ(picture.LineNumber, c.LineNumber);
  EXPECT_EQ(picture.GbkLine, Gbk(c.Line));
  EXPECT_EQ(picture.Marker, c.Marker);
}

INSTANTIATE_TEST_SUITE_P(
    Points, CaretCases,
    ::testing::Values(
        SCaretCase{"FirstToken", "X Y;", 0, 1, 1, "X Y;", "^"},
        SCaretCase{"WideToken", "A>=1 AND;", 5, 3, 1, "A>=1 AND;", "     ^^^"},
        SCaretCase{"EndOfSentence", "A>1", 3, 0, 1, "A>1", "   ^"},
        SCaretCase{"EndAfterWhiteSpace", "A>1 \r\n\t", 7, 0, 1, "A>1 ", "   ^"},
        // each Chinese character: two GBK bytes, two columns
        SCaretCase{"AfterChinese", "N=\"中文\" X;", 9, 1, 1, "N=\"中文\" X;", "         ^"},
        // a byte that starts no token is the first half of a character: the caret covers the character
        SCaretCase{"HalfACharacter", "A=年;", 2, 1, 1, "A=年;", "  ^^"},
        SCaretCase{"TabsShownAsBlanks", "A\t>\t;", 4, 1, 1, "A > ;", "    ^"},
        SCaretCase{"SecondLine", "A>1\nAND B;", 8, 1, 2, "AND B;", "    ^"},
        SCaretCase{"CrLfLines", "A>1\r\nAND\r\nB C;", 12, 1, 3, "B C;", "  ^"},
        // a control character will be shown as \xNN: the caret counts the four columns it takes
        SCaretCase{"ControlsShown", "N = \"\x1B[2J\" X;", 12, 1, 1, "N = \"\x1B[2J\" X;", "               ^"},
        SCaretCase{"ControlInTheToken", "A > \x07;", 4, 1, 1, "A > \x07;", "    ^^^^"}),
    [](const ::testing::TestParamInfo<SCaretCase>& param) { return std::string(param.param.Name); });

// Greek letters are two bytes in GBK but one column in a UTF-8 terminal.
TEST(Caret, CountsColumnsNotBytes) {
  if (!std::setlocale(LC_CTYPE, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
  TDisplayColumns columns;
  const SCaretPicture picture = DrawCaret(Gbk("\"αβ\" X;"), SFailurePoint{7, 1}, columns);
  std::setlocale(LC_CTYPE, "C");
  EXPECT_EQ(picture.Marker, "     ^");
}

// A character GBK lacks, in its four GB18030 bytes, takes the columns the
// terminal gives it: ʤ one, 𠀀 two.
TEST(Caret, CountsCharactersGbkLacksByTheirColumns) {
  if (!std::setlocale(LC_CTYPE, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
  TDisplayColumns columns;
  const int widths = columns.Of("\x81\x30\xB3\x39\x95\x32\x82\x36x");
  std::setlocale(LC_CTYPE, "C");
  EXPECT_EQ(widths, 4);
}

struct SStopCase {
  const char* Sentence;
  std::size_t Offset;
  std::size_t Length;
};

class AnalysisStopCases : public ::testing::TestWithParam<SStopCase> {};

// Where the library's analyser stands after a failure.
TEST_P(AnalysisStopCases, FailurePointIsTheTokeniserCurrentToken) {
  TRuleCalc calc;
  const std::vector<SVariable> variables{{"AGE", "20", vtNumber}, {"SCORE", "50", vtNumber}};
  const SEvaluation evaluation = Evaluate(calc, GetParam().Sentence, variables, EMStep::AnalyseOnly);
  ASSERT_EQ(evaluation.Outcome, EMOutcome::AnalysisError);
  EXPECT_EQ(evaluation.StoppedAt.Offset, GetParam().Offset);
  EXPECT_EQ(evaluation.StoppedAt.Length, GetParam().Length);
}

INSTANTIATE_TEST_SUITE_P(Library, AnalysisStopCases,
                         ::testing::Values(SStopCase{"IF AGE>=18 THEN SCORE;", 21, 1},
                                           SStopCase{"AGE>1", 5, 0},
                                           SStopCase{"AGE >= ;", 7, 1},
                                           SStopCase{"AGE > NOBODY;", 6, 6}));

}  // namespace
}  // namespace rulecalc::batch
