#include <gtest/gtest.h>

#include <set>
#include <string>

#include "lexer/Automata.h"
#include "lexer/StateNodes.h"
#include "lexer/TokenAnalyser.h"

namespace rulecalc {
namespace {

// Runs one automaton over text and reports whether it ends accepting with
// every byte consumed.
bool Accepts(const TBaseNode& start, const std::string& text) {
  const TBaseNode* node = &start;
  for (unsigned char c : text) node = node->Next(c);
  return IsAccepting(*node);
}

int CountLiveBytes(const TBaseNode& node) {
  int live = 0;
  for (int b = 0; b < 256; ++b)
    if (!node.Next(static_cast<std::uint8_t>(b))->IsError()) ++live;
  return live;
}

bool IsLoopAutomaton(const std::string& name) {
  for (const char* stem : {"TSpliterStateNode", "TStringStateNode", "TFieldNameStateNode", "TNumberStateNode"})
    if (name.rfind(stem, 0) == 0) return true;
  return false;
}

TEST(Automata, HasOneNamedInstancePerState) {
  std::set<std::string> names;
  std::set<const TBaseNode*> nodes;
  for (const SNamedNode& entry : AllStateNodes()) {
    names.insert(entry.Name);
    nodes.insert(entry.Node);
  }
  EXPECT_EQ(names.size(), 163u);
  EXPECT_EQ(nodes.size(), 163u);
}

TEST(Automata, EveryStateGoesToTheErrorNodeOnNul) {
  for (const SNamedNode& entry : AllStateNodes())
    EXPECT_EQ(entry.Node->Next(0), &TErrorNode::Instance) << entry.Name;
}

TEST(Automata, OnlyStateZeroAndTheNumberIntegerPartAccept) {
  for (const SNamedNode& entry : AllStateNodes()) {
    const std::string name = entry.Name;
    const bool expected = name.back() == '0' || name == "TNumberStateNode1";
    EXPECT_EQ(entry.Node->IsFinal(), expected) << name;
    EXPECT_FALSE(entry.Node->IsError()) << name;
  }
}

TEST(Automata, ErrorNodeIsDeadForEveryByte) {
  for (int b = 0; b < 256; ++b)
    EXPECT_EQ(TErrorNode::Instance.Next(static_cast<std::uint8_t>(b)), &TErrorNode::Instance);
  EXPECT_TRUE(TErrorNode::Instance.IsFinal());
  EXPECT_TRUE(TErrorNode::Instance.IsError());
  EXPECT_FALSE(IsAccepting(TErrorNode::Instance));
}

// A keyword letter state accepts exactly its letter in both cases, a symbol
// state exactly its byte, and a final chain state nothing.
TEST(Automata, ChainStatesAcceptOneCharacter) {
  for (const SNamedNode& entry : AllStateNodes()) {
    const std::string name = entry.Name;
    if (IsLoopAutomaton(name)) continue;
    const int live = CountLiveBytes(*entry.Node);
    if (name.back() == '0') EXPECT_EQ(live, 0) << name;
    else EXPECT_TRUE(live == 1 || live == 2) << name;
  }
}

struct SKeywordCase {
  EMWordType Kind;
  const char* Text;
  bool Accepted;
};

class AutomatonWords : public ::testing::TestWithParam<SKeywordCase> {};

TEST_P(AutomatonWords, RunToTheExpectedEnd) {
  const SKeywordCase& c = GetParam();
  const TBaseNode& start = *AutomatonStartNodes()[c.Kind - kFirstAutomatonKind];
  EXPECT_EQ(Accepts(start, c.Text), c.Accepted) << c.Text;
}

INSTANTIATE_TEST_SUITE_P(
    Chains, AutomatonWords,
    ::testing::Values(SKeywordCase{wtThen, "THEN", true}, SKeywordCase{wtThen, "tHeN", true},
                      SKeywordCase{wtThen, "TH3N", false}, SKeywordCase{wtNull, "null", true},
                      SKeywordCase{wtAddmonths, "AddMonths", true}, SKeywordCase{wtAddmonths, "ADDMONTH", false},
                      SKeywordCase{wtLastday, "lastDAY", true}, SKeywordCase{wtNvl, "nVl", true},
                      SKeywordCase{wtFindstr, "FINDSTR", true}, SKeywordCase{wtContacter, "||", true},
                      SKeywordCase{wtContacter, "|", false}, SKeywordCase{wtLessEqual, "<=", true},
                      SKeywordCase{wtUnequal, "<>", true}, SKeywordCase{wtUnequal, "><", false},
                      SKeywordCase{wtSpliter, " \t\r\n", true}, SKeywordCase{wtSpliter, "\x0b", false},
                      SKeywordCase{wtSpliter, "\x0c", false}, SKeywordCase{wtString, "\"\"", true},
                      SKeywordCase{wtString, "\"it's \xd6\xd0\"", true}, SKeywordCase{wtString, "\"abc", false},
                      SKeywordCase{wtFieldName, "a_1", true}, SKeywordCase{wtFieldName, "_a", false},
                      SKeywordCase{wtFieldName, "1a", false}, SKeywordCase{wtNumber, "12", true},
                      SKeywordCase{wtNumber, "1.5", true}, SKeywordCase{wtNumber, "12.", false},
                      SKeywordCase{wtNumber, ".5", false}));

TEST(Automata, TheThenChainDiesInItsThirdState) {
  const TBaseNode* node = &TThenStateNode1::Instance;
  node = node->Next('T');
  node = node->Next('H');
  EXPECT_EQ(node, &TThenStateNode4::Instance);
  EXPECT_EQ(node->Next('3'), &TErrorNode::Instance);
}

TEST(Automata, StringInteriorTakesEveryByteButQuoteAndNul) {
  for (int b = 1; b < 256; ++b) {
    const TBaseNode* next = TStringStateNode2::Instance.Next(static_cast<std::uint8_t>(b));
    EXPECT_EQ(next, b == '"' ? static_cast<const TBaseNode*>(&TStringStateNode0::Instance)
                             : static_cast<const TBaseNode*>(&TStringStateNode2::Instance))
        << b;
  }
}

TEST(Automata, StartNodesAreListedInKindOrder) {
  TTokenAnalyser tokeniser;
  ASSERT_EQ(tokeniser.StartNodes.size(), 39u);
  ASSERT_EQ(tokeniser.WordTypes.size(), 39u);
  EXPECT_EQ(tokeniser.StartNodes.front(), &TNullStateNode2::Instance);
  EXPECT_EQ(tokeniser.StartNodes.back(), &TUnequalStateNode2::Instance);
  for (std::size_t i = 0; i < 39; ++i) EXPECT_EQ(tokeniser.WordTypes[i], static_cast<EMWordType>(i + 2));
}

}  // namespace
}  // namespace rulecalc
