#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestCalc.h"

namespace rulecalc {
namespace {

// A calculator that reads the sentence again for every explanation and runs
// every automaton at every position.
std::unique_ptr<TRuleCalc> MakePlainCalc() {
  auto calc = testing::MakeCalc();
  calc->Machine.UseExplanationCache = false;
  calc->Tokeniser.UseFirstByteFilter = false;
  return calc;
}

// Everything a host or a later call can observe.
std::string Observe(TRuleCalc& calc, const std::string& step, bool answer) {
  std::ostringstream out;
  out << step << " -> " << answer << " | error=" << calc.Machine.RuntimeError << " | analyse=" << calc.Analysor.AnalyseError
      << " | position=" << calc.Tokeniser.Position << " kind=" << int(calc.Tokeniser.WordType)
      << " word=" << calc.Tokeniser.Word << " | code=" << calc.Machine.Code.size() << " br=" << calc.Machine.Registers.BR;
  return out.str();
}

// One host session: variables, sentence, analyses and runs with changing
// values, a second analysis that continues where the scanners stopped, and a
// run after the sentence changed.
std::vector<std::string> Session(TRuleCalc& calc, const std::string& sentence, int seed) {
  std::vector<std::string> seen;
  std::mt19937 random(static_cast<unsigned>(seed));
  const auto setVariables = [&] {
    for (const char* name : {"A", "B", "C", "AGE", "SCORE"})
      calc.SetVarValue(name, std::to_string(static_cast<int>(random() % 25) - 5).c_str(), 0);
    for (const char* name : {"S", "T", "NAME"}) calc.SetVarValue(name, random() % 2 ? "Xy" : "", 1);
  };
  calc.ClearMemory();
  setVariables();
  calc.SetSentence(sentence.c_str());
  seen.push_back(Observe(calc, calc.GetTokens(), true));
  seen.push_back(Observe(calc, "analyse", calc.Analyse()));
  for (int i = 0; i < 3; ++i) {
    seen.push_back(Observe(calc, "run", calc.Run()));
    setVariables();
  }
  seen.push_back(Observe(calc, "analyse again", calc.Analyse()));
  seen.push_back(Observe(calc, "run again", calc.Run()));
  calc.SetSentence("A>1 AND B<2;");
  seen.push_back(Observe(calc, "run on another sentence", calc.Run()));
  calc.SetSentence(sentence.c_str());
  seen.push_back(Observe(calc, "run on the first again", calc.Run()));
  return seen;
}

const char* const kSentences[] = {
    "A>1;", "A>1 AND B+A<2 OR C=3;", "A>1 AND B<2; B>3 OR C<1;", "IF A>1 THEN B<2;", "IF A>1 THEN B<2 ELSE C=3;",
    "IF A>1 THEN 2<1;", "IF AGE>=18 THEN SCORE>=60 ELSE SCORE>=80 AND LENGTH(NAME)>1;", "2<1;",
    "A+A>5 OR  B>1\t AND C=1 ;", "S||T=\"XyXy\" OR S=NULL;", "IF S=\"\" THEN NVL(S,\"d\")=\"x\" ELSE A>0; B>1;",
    "A>1", "IF A>1 THEN", "", "   ", ";", "A>1 AND", "A>1 ! B", "IF A>1 THEN B<2 ELSE C=3 ELSE", "X>1;",
    "IF A>1 THEN B>2; IF B>1 THEN C<1 ELSE A<1;", "SUBSTR(S,0,1)=\"X\" AND FINDSTR(S,\"y\")>=0 OR A/B>2;",
};

TEST(OptimisationEquivalence, SessionsGiveTheSameAnswersAndTokeniserState) {
  int seed = 0;
  for (const char* sentence : kSentences) {
    auto fast = testing::MakeCalc();
    auto plain = MakePlainCalc();
    for (int round = 0; round < 3; ++round, ++seed)
      EXPECT_EQ(Session(*fast, sentence, seed), Session(*plain, sentence, seed)) << sentence;
  }
}

TEST(OptimisationEquivalence, RandomBytesTokeniseTheSame) {
  std::mt19937 random(99);
  const std::string alphabet = "ANDORIFTHENLSEGYMX_0123456789.;,()+-*/=<>|\" \t\r\n!\x0b\xd6\xd0\x80\xff";
  for (int i = 0; i < 3000; ++i) {
    std::string sentence;
    const auto length = random() % 40;
    for (std::size_t j = 0; j < length; ++j) sentence += alphabet[random() % alphabet.size()];
    TTokenAnalyser fast, plain;
    plain.UseFirstByteFilter = false;
    fast.SetSentence(sentence.c_str());
    plain.SetSentence(sentence.c_str());
    do {
      fast.NextToken();
      plain.NextToken();
      ASSERT_EQ(fast.WordType, plain.WordType) << sentence;
      ASSERT_EQ(fast.Word, plain.Word) << sentence;
      ASSERT_EQ(fast.Position, plain.Position) << sentence;
    } while (fast.WordType != wtEnd);
  }
}

}  // namespace
}  // namespace rulecalc
