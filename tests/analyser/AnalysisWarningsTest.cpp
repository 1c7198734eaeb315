// Warnings of a successful analysis: where the sentence mixes types or orders texts.

#include <gtest/gtest.h>

#include <string>

#include "analyser/CodeListing.h"

namespace rulecalc {
namespace {

struct SWarningCase {
  const char* Sentence;
  const char* Warnings;  // "position:message" (UTF-8), joined by " | "
};

void PrintTo(const SWarningCase& c, std::ostream* out) { *out << c.Sentence; }

std::string Listed(const std::vector<SAnalysisWarning>& warnings) {
  std::string listed;
  for (const SAnalysisWarning& w : warnings)
    listed += (listed.empty() ? "" : " | ") + std::to_string(w.Position) + ":" + testing::Utf8(w.Message);
  return listed;
}

class AnalysisWarnings : public ::testing::TestWithParam<SWarningCase> {};

// A, B, C, D are number variables, S and T text variables, K has type code 7.
TEST_P(AnalysisWarnings, MarkWhereTypesMix) {
  auto calc = testing::CalcWithVariables();
  calc->SetLanguage(ELanguage::Extended);  // the same warnings as the classic language, and its own
  calc->SetVarValue("K", "1", 7);
  calc->SetSentence(testing::Gbk(GetParam().Sentence).c_str());
  ASSERT_TRUE(calc->Analyse()) << testing::Utf8(calc->GetAnalyseError());
  EXPECT_EQ(Listed(calc->Warnings()), GetParam().Warnings);
}

INSTANTIATE_TEST_SUITE_P(
    Sentences, AnalysisWarnings,
    ::testing::Values(
        SWarningCase{"A>1 AND S=\"x\" AND S||T=\"xx\";", ""},
        SWarningCase{"IF A=1 THEN S=\"x\" ELSE LENGTH(S)>1;", ""},
        SWarningCase{"S=1;", "1:字符串与数值比较,结果不可靠!"},
        SWarningCase{"A <> \"1\";", "2:字符串与数值比较,结果不可靠!"},
        SWarningCase{"A+S>1;", "1:字符串参与算术运算,结果不可靠!"},
        SWarningCase{"A>1 AND B*(S)>1;", "9:字符串参与算术运算,结果不可靠!"},
        SWarningCase{"-S>1;", "0:字符串参与算术运算,结果不可靠!"},
        SWarningCase{"A*-S>1;", "2:字符串参与算术运算,结果不可靠!"},
        SWarningCase{"S||1=\"x1\";", "1:数值参与并置运算,结果不可靠!"},
        SWarningCase{"S<T AND S>=\"x\" AND A<B;",
                     "1:字符串按字节逐个比较大小,结果不可靠! | 9:字符串按字节逐个比较大小,结果不可靠!"},
        SWarningCase{"S||T<=T;", "4:字符串按字节逐个比较大小,结果不可靠!"},
        SWarningCase{"K>0;", "0:变量K的类型代码不是0或1,按数值处理!"},
        SWarningCase{"A>1 AND B>1 AND C>1;", ""}, SWarningCase{"IF A>1 OR B>1 THEN C>1 AND D>1;", ""},
        SWarningCase{"A>1 OR B>1 and C>1;", "11:AND 与 OR 自左向右结合: (A>1 OR B>1) and C>1"},
        SWarningCase{"A>1 AND B>1 OR C>1 AND D>1;", "12:AND 与 OR 自左向右结合: ((A>1 AND B>1) OR C>1) AND D>1"},
        SWarningCase{"IF A>1 THEN S=1 OR\n  B>1 AND S=2;",
                     "13:字符串与数值比较,结果不可靠! | 25:AND 与 OR 自左向右结合: (S=1 OR B>1) AND S=2 | "
                     "30:字符串与数值比较,结果不可靠!"},
        SWarningCase{"(A>1 OR B>1) AND C>1 OR NOT (A>1 AND B>1 OR C>1);",
                     "21:AND 与 OR 自左向右结合: ((A>1 OR B>1) AND C>1) OR NOT (A>1 AND B>1 OR C>1) | "
                     "41:AND 与 OR 自左向右结合: (A>1 AND B>1) OR C>1"},
        SWarningCase{"A IN (1) OR S IS EMPTY AND S<T;",
                     "23:AND 与 OR 自左向右结合: (A IN (1) OR S IS EMPTY) AND S<T | 28:字符串按字节逐个比较大小,结果不可靠!"},
        SWarningCase{"IF S>A THEN A+S>1;",
                     "4:字符串与数值比较,结果不可靠! | 13:字符串参与算术运算,结果不可靠!"}));

// A failed analysis leaves no warnings, and the next analysis starts afresh.
TEST(AnalysisWarnings, BelongToTheLastAnalysisOnly) {
  auto calc = testing::CalcWithVariables();
  calc->SetSentence("S=1; A=1;");
  ASSERT_TRUE(calc->Analyse());
  EXPECT_EQ(calc->Warnings().size(), 1u);
  ASSERT_TRUE(calc->Analyse());
  EXPECT_TRUE(calc->Warnings().empty());
  calc->SetSentence("S=1 AND");
  EXPECT_FALSE(calc->Analyse());
  EXPECT_TRUE(calc->Warnings().empty());
}

// Readings nest inside one another, so a long one is cut after a kilobyte.
TEST(AnalysisWarningsState, ALongReadingIsCut) {
  auto calc = testing::CalcWithVariables();
  std::string sentence = "A>1 OR B>1";
  for (int i = 0; i < 200; ++i) sentence += " AND C>1";
  calc->SetSentence((sentence + ";").c_str());
  ASSERT_TRUE(calc->Analyse());
  ASSERT_EQ(calc->Warnings().size(), 1u);
  const std::string& shown = calc->Warnings()[0].Message;
  EXPECT_EQ(shown.substr(shown.size() - 3), "...");
  EXPECT_LT(shown.size(), 1100u);
}

}  // namespace
}  // namespace rulecalc
