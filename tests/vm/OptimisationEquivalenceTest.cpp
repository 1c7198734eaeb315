#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/SentenceGenerator.h"
#include "support/TestCalc.h"

namespace rulecalc {
namespace {

// A calculator that reads the sentence again for every explanation, runs
// every automaton at every position and executes every record on its own.
std::unique_ptr<TRuleCalc> MakePlainCalc() {
  auto calc = testing::MakeCalc();
  calc->Machine.UseExplanationCache = false;
  calc->Tokeniser.UseFirstByteFilter = false;
  calc->Tokeniser.UseCombinedAutomaton = false;
  calc->Machine.UseSuperinstructions = false;
  calc->Machine.UseRegisterCode = false;
  return calc;
}

// Register forms whose records, where they run one by one, are not fused.
std::unique_ptr<TRuleCalc> MakeRegisterOnlyCalc() {
  auto calc = testing::MakeCalc();
  calc->Machine.UseSuperinstructions = false;
  return calc;
}

// Everything a host or a later call can observe, and the machine's registers and stacks.
std::string Observe(TRuleCalc& calc, const std::string& step, bool answer) {
  const TVirtualMachine& m = calc.Machine;
  const SRegisters& r = m.Registers;
  std::ostringstream out;
  out.precision(17);
  out << step << " -> " << answer << " | error=" << m.RuntimeError << " | analyse=" << calc.Analysor.AnalyseError
      << " | position=" << calc.Tokeniser.Position << " kind=" << int(calc.Tokeniser.WordType)
      << " word=" << calc.Tokeniser.Word << " | code=" << m.Code.size() << " br=" << r.BR << " br1=" << r.BR1
      << " c0=" << r.C0 << " c1=" << r.C1 << " r0=" << r.R0 << " s0=" << r.S0 << " s1=" << r.S1 << " rs=" << r.RS
      << " | numbers:";
  for (std::int32_t i = 0; i < m.FloatTop; ++i) out << ' ' << m.FloatStack[static_cast<std::size_t>(i)];
  out << " texts:";
  for (std::int32_t i = 0; i < m.StringTop; ++i) out << ' ' << m.StringStack[static_cast<std::size_t>(i)];
  out << " | failed clauses:";
  for (const SFailedClause& c : m.FailedClauses)
    out << ' ' << m.RuntimeError.substr(c.NamesStart, c.NamesLength) << '|'
        << m.RuntimeError.substr(c.TextStart, c.TextLength);
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

// The sessions of a sentence on every calculator, against the fast one.
void ExpectSameSessions(const std::string& sentence, int& seed, ELanguage language = ELanguage::Classic) {
  auto fast = testing::MakeCalc();
  auto plain = MakePlainCalc();
  auto registerOnly = MakeRegisterOnlyCalc();
  auto noting = testing::MakeCalc();
  noting->Machine.TakeNotes = true;
  for (TRuleCalc* calc : {fast.get(), plain.get(), registerOnly.get(), noting.get()}) calc->SetLanguage(language);
  for (int round = 0; round < 3; ++round, ++seed) {
    const std::vector<std::string> seen = Session(*fast, sentence, seed);
    EXPECT_EQ(seen, Session(*plain, sentence, seed)) << sentence;
    EXPECT_EQ(seen, Session(*registerOnly, sentence, seed)) << sentence;
    EXPECT_EQ(seen, Session(*noting, sentence, seed)) << sentence;
  }
}

TEST(OptimisationEquivalence, SessionsGiveTheSameAnswersAndTokeniserState) {
  int seed = 0;
  for (const char* sentence : kSentences) ExpectSameSessions(sentence, seed);
}

// Arithmetic inside the extended language's groups, negations and lists.
const char* const kExtendedSentences[] = {
    "NOT (A+B*2>C-1) AND A/B+C IN (1, 2, -3);", "((A+1)*(B-2))>3 AND NOT NOT C*C<A+B;",
    "A+B IS NOT EMPTY OR (A-B*C NOT IN (NULL, 4) AND MOD(A+1,B)=ROUND(C/3,1));",
    "IF (A*2>B OR B+C>1) THEN NOT C-A>1 ELSE (A+B+C=0);",
};

TEST(OptimisationEquivalence, ExtendedSessionsGiveTheSameAnswers) {
  int seed = 0;
  for (const char* sentence : kExtendedSentences) ExpectSameSessions(sentence, seed, ELanguage::Extended);
}

TEST(OptimisationEquivalence, GeneratedSentencesGiveTheSameAnswers) {
  testing::TSentenceGenerator generator(20261209, {true});
  int seed = 0;
  for (int i = 0; i < 2000 && !HasFailure(); ++i) ExpectSameSessions(generator.Next().Sentence, seed);
}

// Records that make up the runs executed as superinstructions, and records
// that break them up or make them fail (a missing variable, an empty stack).
const SCodeStruct kCodePieces[] = {
    {opMovF, "$C0", "A", 0},   {opMovF, "$C1", "B", 0},  {opMovF, "$C0", "MISSING", 0}, {opMovF, "", "A", 0},
    {opPush, "$C0", "", 0},    {opPush, "$R0", "", 0},   {opPush, "$BR", "", 0},        {opMovD, "$C0", "2", 0},
    {opMovD, "$C1", "x", 0},   {opMovR, "$C1", "$C0", 0}, {opMovR, "$R0", "$C0", 0},    {opMovR, "$C0", "$R0", 0},
    {opPop, "$C0", "", 0},     {opPop, "$C1", "", 0},    {opPop, "$BR1", "", 0},        {opPop, "$BR", "", 0},
    {opAdd, "", "", 0},        {opDiv, "", "", 0},       {opGreat, "", "", 0},          {opEqual, "", "", 0},
    {opAnd, "", "", 0},        {opOr, "", "", 0},        {opJNB, "Label1", "", 0},      {opNOP, "Label1", "", 0},
    {opNOP, "$THEN", "", 0},   {opMovD, "$S0", "y", 1},  {opPush, "$S0", "", 1},        {opPop, "$RS", "", 1},
    {opMovF, "$R0", "B", 0},   {opMovF, "$C0", "B", 0},  {opMovF, "$C1", "MISSING", 0}, {opLess, "", "", 0},
};

// The runs the analyser emits for "A+2", "A<>B", "A>2" and "... AND ...".
const std::vector<SCodeStruct> kCodeRuns[] = {
    {{opMovF, "$C0", "A", 0}, {opPush, "$C0", "", 0}, {opMovD, "$C0", "2", 0}, {opMovR, "$C1", "$C0", 0},
     {opPop, "$C0", "", 0}, {opAdd, "", "", 0}},
    {{opMovF, "$C0", "A", 0}, {opMovR, "$R0", "$C0", 0}, {opMovF, "$C0", "B", 0}, {opUnequal, "", "", 0}},
    {{opMovF, "$C0", "A", 0}, {opMovR, "$R0", "$C0", 0}, {opMovD, "$C0", "2", 0}, {opGreat, "", "", 0}},
    {{opPush, "$BR", "", 0}, {opMovF, "$C0", "B", 0}, {opPush, "$C0", "", 0}, {opMovF, "$C0", "A", 0},
     {opMovR, "$C1", "$C0", 0}, {opPop, "$C0", "", 0}, {opSub, "", "", 0}, {opPop, "$BR1", "", 0}, {opAnd, "", "", 0}},
};

// Pieces and whole runs in random order.
void AddRandomCode(TRuleCalc& calc, std::mt19937& random) {
  const auto length = 1 + random() % 30;
  for (std::size_t i = 0; i < length; ++i) {
    const SCodeStruct& piece = kCodePieces[random() % std::size(kCodePieces)];
    if (random() % 2) {
      calc.Machine.AddCode(piece.OpCode, piece.Operand1, piece.Operand2, piece.ValueType);
      continue;
    }
    for (const SCodeStruct& record : kCodeRuns[random() % std::size(kCodeRuns)])
      calc.Machine.AddCode(record.OpCode, record.Operand1, record.Operand2, record.ValueType);
  }
}

// Runs a code list twice, with other values the second time.
std::vector<std::string> CodeSession(TRuleCalc& calc, int seed) {
  std::mt19937 random(static_cast<unsigned>(seed));
  std::vector<std::string> seen;
  calc.ClearMemory();
  calc.SetSentence("A>1 AND B<2 OR A=3; IF B>1 THEN A<1 ELSE B=2;");
  AddRandomCode(calc, random);
  for (const char* values : {"5", "x"}) {
    calc.SetVarValue("A", values, 0);
    calc.SetVarValue("B", std::to_string(random() % 4).c_str(), 0);
    seen.push_back(Observe(calc, "run", calc.Run()));
  }
  return seen;
}

TEST(OptimisationEquivalence, SuperinstructionsAndRegisterFormsRunAnyCodeAlike) {
  auto fast = testing::MakeCalc();
  auto plain = testing::MakeCalc();
  plain->Machine.UseSuperinstructions = false;
  plain->Machine.UseRegisterCode = false;
  auto registerOnly = MakeRegisterOnlyCalc();
  auto noting = testing::MakeCalc();
  noting->Machine.TakeNotes = true;
  for (int seed = 0; seed < 3000; ++seed) {
    const std::vector<std::string> seen = CodeSession(*fast, seed);
    ASSERT_EQ(seen, CodeSession(*plain, seed)) << seed;
    ASSERT_EQ(seen, CodeSession(*registerOnly, seed)) << seed;
    ASSERT_EQ(seen, CodeSession(*noting, seed)) << seed;
  }
}

// Left operands pushed past the stack's capacity, in runs of register forms.
TEST(OptimisationEquivalence, SuperinstructionsAndRegisterFormsOverflowAtTheSamePush) {
  auto fast = testing::MakeCalc();
  auto plain = testing::MakeCalc();
  plain->Machine.UseSuperinstructions = false;
  plain->Machine.UseRegisterCode = false;
  for (TRuleCalc* calc : {fast.get(), plain.get()}) {
    calc->SetVarValue("A", "1", 0);
    for (int i = 0; i <= kStackCapacity; ++i) {
      calc->Machine.AddCode(opMovF, "$C0", "A", 0);
      calc->Machine.AddCode(opPush, "$C0", "", 0);
    }
  }
  EXPECT_EQ(Observe(*fast, "run", fast->Run()), Observe(*plain, "run", plain->Run()));
  for (TRuleCalc* calc : {fast.get(), plain.get()}) calc->Machine.ResetRunState();
  EXPECT_EQ(Observe(*fast, "run again", fast->Run()), Observe(*plain, "run again", plain->Run()));
  EXPECT_EQ(fast->Machine.FloatTop, kStackCapacity);
}

// Every token, kind and position, error tokens included, from the combined
// automaton, from the filtered automata and from every automaton run alone.
TEST(OptimisationEquivalence, RandomBytesTokeniseTheSame) {
  std::string everyByte;
  for (int b = 1; b < 256; ++b) everyByte += static_cast<char>(b);
  const std::string alphabets[] = {
      "ANDORIFTHENLSEGYMX_0123456789.;,()+-*/=<>|\" \t\r\n!\x0b\xd6\xd0\x80\xff",
      "andorifthenlsegymxADDYEARSMONTHLASTDAYSUBSTRFINDSTRTOCHARNVL_19.\" <>=|",
      everyByte};
  std::mt19937 random(99);
  for (const std::string& alphabet : alphabets) {
    for (int i = 0; i < 3000; ++i) {
      std::string sentence;
      const auto length = random() % 40;
      for (std::size_t j = 0; j < length; ++j) sentence += alphabet[random() % alphabet.size()];
      TTokenAnalyser combined, filtered, plain;
      filtered.UseCombinedAutomaton = false;
      plain.UseCombinedAutomaton = false;
      plain.UseFirstByteFilter = false;
      for (TTokenAnalyser* tokeniser : {&combined, &filtered, &plain}) tokeniser->SetSentence(sentence.c_str());
      do {
        for (TTokenAnalyser* tokeniser : {&combined, &filtered, &plain}) tokeniser->NextToken();
        for (const TTokenAnalyser* other : {&filtered, &plain}) {
          ASSERT_EQ(combined.WordType, other->WordType) << sentence;
          ASSERT_EQ(combined.Word, other->Word) << sentence;
          ASSERT_EQ(combined.Position, other->Position) << sentence;
        }
      } while (combined.WordType != wtEnd);
    }
  }
}

}  // namespace
}  // namespace rulecalc
