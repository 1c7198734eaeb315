#include <gtest/gtest.h>

#include <string>

#include "support/TestCalc.h"

namespace rulecalc {
namespace {

using testing::MakeCalc;

struct SListingCase {
  const char* Sentence;
  const char* Tokens;
  const char* Numbers;
  const char* Names;
};

class Listings : public ::testing::TestWithParam<SListingCase> {};

TEST_P(Listings, ListTheSentence) {
  const SListingCase& c = GetParam();
  auto calc = MakeCalc();
  calc->SetSentence(c.Sentence);
  EXPECT_STREQ(calc->GetTokens(), c.Tokens);
  EXPECT_STREQ(calc->GetNumbers(), c.Numbers);
  EXPECT_STREQ(calc->GetVarnames(), c.Names);
  // Each listing leaves the current word and the count of words read as
  // reading every token with NextToken does.
  TTokenAnalyser reader;
  reader.SetSentence(c.Sentence);
  for (reader.NextToken(); reader.WordType != wtEnd; reader.NextToken()) {
  }
  EXPECT_EQ(calc->Tokeniser.Word, reader.Word);
  EXPECT_EQ(calc->Tokeniser.WordsRead, 3 * reader.WordsRead);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, Listings,
    ::testing::Values(
        SListingCase{"A+B", "A;+;B;", "", "A;B"},
        SListingCase{"IF x >= 10 THEN y = 2.5 ELSE y = 0;", "IF;x;>=;10;THEN;y;=;2.5;ELSE;y;=;0;;;", "10;2.5;0;", "x;y"},
        SListingCase{"a + A + b1 + B1", "a;+;A;+;b1;+;B1;", "", "a;b1"},
        SListingCase{"  x", "  ;x;", "", "x"},
        SListingCase{"1.5.3", "1.5;.;3;", "1.5;3;", ""},
        SListingCase{"YEAR(d)", "YEAR;(;d;);", "", "d"},
        SListingCase{"ABS(x)", "ABS;(;x;);", "", "ABS;x"},
        SListingCase{"", "", "", ""},
        SListingCase{" \t ", " \t ;", "", ""},
        SListingCase{"S=\"a;b\" !", "S;=;\"a;b\";!;", "", "S"},
        SListingCase{"\xd6\xd0=1", "\xd6;\xd0;=;1;", "1;", ""}));

TEST(ListingsState, BeforeAnySentenceAllAreEmpty) {
  auto calc = MakeCalc();
  EXPECT_STREQ(calc->GetTokens(), "");
  EXPECT_STREQ(calc->GetNumbers(), "");
  EXPECT_STREQ(calc->GetVarnames(), "");
}

TEST(ListingsState, LeaveTheTokeniserAtTheStartWithEndAsCurrentToken) {
  auto calc = MakeCalc();
  calc->SetSentence("abc + 1");
  calc->Tokeniser.Position = 4;
  calc->GetVarnames();
  EXPECT_EQ(calc->Tokeniser.Position, 0);
  EXPECT_EQ(calc->Tokeniser.WordType, wtEnd);
}

TEST(ListingsState, NamesFoldOnlyAsciiLetters) {
  auto calc = MakeCalc();
  // A later spelling in another letter case is the same name, listed as first written.
  calc->SetSentence("abc_X + ABC_x + abc_y");
  EXPECT_STREQ(calc->GetVarnames(), "abc_X;abc_y");
}

TEST(ListingsState, LongListingIsCutAfter2047Bytes) {
  auto calc = MakeCalc();
  std::string sentence;
  for (int i = 0; i < 1000; ++i) sentence += "a+";  // 2000 tokens: listing of 4000 bytes
  calc->SetSentence(sentence.c_str());
  const std::string listing = calc->GetTokens();
  EXPECT_EQ(listing.size(), 2047u);
  EXPECT_EQ(listing.substr(0, 8), "a;+;a;+;");
  EXPECT_EQ(calc->ResultBuffer.Bytes[2047], '\0');
}

TEST(ListingsState, AnalyseAfterAListingStartsAtTheFirstToken) {
  auto calc = MakeCalc();
  calc->SetVarValue("A", "1", 0);
  calc->SetVarValue("B", "1", 0);
  calc->SetSentence("A>0; B>0;");
  ASSERT_TRUE(calc->Analyse());
  calc->GetTokens();
  ASSERT_TRUE(calc->Analyse());
  ASSERT_EQ(calc->Machine.Code.size(), 8u);
  EXPECT_EQ(calc->Machine.Code[4].Operand2, "A");
}

}  // namespace
}  // namespace rulecalc
