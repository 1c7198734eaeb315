#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "lexer/TokenAnalyser.h"

namespace rulecalc {
namespace {

using Tokens = std::vector<std::pair<EMWordType, std::string>>;

Tokens Tokenise(const std::string& sentence) {
  TTokenAnalyser tokeniser;
  tokeniser.SetSentence(sentence.c_str());
  Tokens tokens;
  for (tokeniser.NextToken(); tokeniser.WordType != wtEnd; tokeniser.NextToken())
    tokens.emplace_back(tokeniser.WordType, tokeniser.Word);
  return tokens;
}

struct STokenCase {
  const char* Sentence;
  Tokens Expected;
};

class TokeniserCases : public ::testing::TestWithParam<STokenCase> {};

TEST_P(TokeniserCases, CutsTheSentenceAsExpected) {
  EXPECT_EQ(Tokenise(GetParam().Sentence), GetParam().Expected) << GetParam().Sentence;
}

INSTANTIATE_TEST_SUITE_P(
    LongestMatchNoBacktracking, TokeniserCases,
    ::testing::Values(
        STokenCase{"A+B", {{wtFieldName, "A"}, {wtAdd, "+"}, {wtFieldName, "B"}}},
        STokenCase{"if x>=10 then",
                   {{wtIf, "if"}, {wtSpliter, " "}, {wtFieldName, "x"}, {wtGreatEqual, ">="},
                    {wtNumber, "10"}, {wtSpliter, " "}, {wtThen, "then"}}},
        STokenCase{"Year(d)", {{wtYear, "Year"}, {wtLeftBracket, "("}, {wtFieldName, "d"}, {wtRightBracket, ")"}}},
        STokenCase{"Year1", {{wtFieldName, "Year1"}}},
        STokenCase{"IFX ANDY NULLS If NULL",
                   {{wtFieldName, "IFX"}, {wtSpliter, " "}, {wtFieldName, "ANDY"}, {wtSpliter, " "},
                    {wtFieldName, "NULLS"}, {wtSpliter, " "}, {wtIf, "If"}, {wtSpliter, " "}, {wtNull, "NULL"}}},
        STokenCase{"1.5.3", {{wtNumber, "1.5"}, {wtError, "."}, {wtNumber, "3"}}},
        STokenCase{"12.+1", {{wtError, "1"}, {wtError, "2"}, {wtError, "."}, {wtAdd, "+"}, {wtNumber, "1"}}},
        STokenCase{"12.", {{wtError, "1"}, {wtError, "2"}, {wtError, "."}}},
        STokenCase{"12abc", {{wtNumber, "12"}, {wtFieldName, "abc"}}},
        STokenCase{"\"abc", {{wtError, "\""}, {wtFieldName, "abc"}}},
        STokenCase{"\"\"", {{wtString, "\"\""}}},
        STokenCase{"   \t", {{wtSpliter, "   \t"}}},
        STokenCase{"a_1 _a", {{wtFieldName, "a_1"}, {wtSpliter, " "}, {wtError, "_"}, {wtFieldName, "a"}}},
        STokenCase{"<>= =<", {{wtUnequal, "<>"}, {wtEqual, "="}, {wtSpliter, " "}, {wtEqual, "="}, {wtLess, "<"}}},
        STokenCase{"a||b|c",
                   {{wtFieldName, "a"}, {wtContacter, "||"}, {wtFieldName, "b"}, {wtError, "|"}, {wtFieldName, "c"}}},
        STokenCase{"!\x0b\xd6\xd0", {{wtError, "!"}, {wtError, "\x0b"}, {wtError, "\xd6"}, {wtError, "\xd0"}}},
        STokenCase{"\"\xd6\xd0;\"", {{wtString, "\"\xd6\xd0;\""}}},
        STokenCase{"", {}}));

TEST(Tokeniser, EndLeavesWordAndPositionAlone) {
  TTokenAnalyser tokeniser;
  tokeniser.SetSentence("AB");
  tokeniser.NextToken();
  ASSERT_EQ(tokeniser.Word, "AB");
  tokeniser.NextToken();
  EXPECT_EQ(tokeniser.WordType, wtEnd);
  EXPECT_EQ(tokeniser.Word, "AB");
  EXPECT_EQ(tokeniser.Position, 2);
}

TEST(Tokeniser, NoSentenceYieldsEnd) {
  TTokenAnalyser tokeniser;
  tokeniser.NextToken();
  EXPECT_EQ(tokeniser.WordType, wtEnd);
  EXPECT_EQ(tokeniser.Word, "");
}

TEST(Tokeniser, SetSentenceRewindsButKeepsTheCurrentToken) {
  TTokenAnalyser tokeniser;
  tokeniser.SetSentence("x+1");
  tokeniser.NextToken();
  tokeniser.SetSentence("yy");
  EXPECT_EQ(tokeniser.Position, 0);
  EXPECT_EQ(tokeniser.SentenceLength, 2);
  EXPECT_EQ(tokeniser.WordType, wtFieldName);
  EXPECT_EQ(tokeniser.Word, "x");
}

TEST(Tokeniser, PositionsOutsideTheSentenceYieldEnd) {
  TTokenAnalyser tokeniser;
  tokeniser.SetSentence("abc");
  for (std::int32_t position : {3, 4, 1000, -1}) {
    tokeniser.Position = position;
    tokeniser.NextToken();
    EXPECT_EQ(tokeniser.WordType, wtEnd) << position;
  }
}

}  // namespace
}  // namespace rulecalc
