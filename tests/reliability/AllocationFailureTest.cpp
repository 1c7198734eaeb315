// Memory exhaustion at every allocation of whole call sequences. For each
// allocation that a sequence makes, the sequence runs again on a fresh
// calculator with that allocation failing (once, or from there on), and:
//   - no exception leaves a call, nothing crashes, nothing leaks;
//   - a call during which an allocation failed answers the way it can:
//     Analyse and Run false, a text getter the empty text, SetSentence and
//     SetVarValue leave the sentence and the variable table as they were;
//   - afterwards, with memory back, the same rule gives exactly the answers
//     of a calculator that never ran short.

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "FailingAllocator.h"
#include "boundary/ResultBuffer.h"
#include "boundary/RuleCalc.h"
#include "support/HandleCalls.h"
#include "support/RunsAfresh.h"
#include "support/RuleAnswers.h"
#include "support/TestCalc.h"

namespace rulecalc {
namespace {

using testing::SVariable;

// Every operation that the flat exports forward to is declared never to throw.
static_assert(noexcept(std::declval<TRuleCalc&>().SetSentence(nullptr)) &&
              noexcept(std::declval<TRuleCalc&>().GetTokens()) &&
              noexcept(std::declval<TRuleCalc&>().GetNumbers()) &&
              noexcept(std::declval<TRuleCalc&>().GetVarnames()) &&
              noexcept(std::declval<TRuleCalc&>().ClearMemory()) &&
              noexcept(std::declval<TRuleCalc&>().SetVarValue(nullptr, nullptr, 0)) &&
              noexcept(std::declval<TRuleCalc&>().Analyse()) &&
              noexcept(std::declval<TRuleCalc&>().GetAnalyseError()) &&
              noexcept(std::declval<TRuleCalc&>().Run()) &&
              noexcept(std::declval<TRuleCalc&>().GetRuntimeError()));

enum class EMCall { ClearMemory, SetVarValue, SetSentence, GetTokens, GetNumbers, GetVarnames,
                    Analyse, GetAnalyseError, Run, GetRuntimeError };

struct SCall {
  EMCall Kind;
  std::string Name;   // SetVarValue: the name; SetSentence: the sentence
  std::string Value;  // SetVarValue
  std::int32_t Type = 0;
};

struct SOutcome {
  bool Answer = false;     // Analyse, Run
  std::string Text;        // text getters
  bool IsText = false;
  bool RanShort = false;   // an allocation failed during the call
};

struct SScenario {
  const char* Name;
  std::vector<SVariable> Variables;
  std::string Sentence;
};

void PrintTo(const SScenario& s, std::ostream* out) { *out << s.Name; }

// The host's order for one rule, with a second statement, and a variable
// replaced between two runs.
std::vector<SCall> CallsOf(const SScenario& s) {
  std::vector<SCall> calls{{EMCall::ClearMemory, "", "", 0}};
  for (const SVariable& v : s.Variables) calls.push_back({EMCall::SetVarValue, v.Name, v.Value, v.Type});
  calls.push_back({EMCall::SetSentence, s.Sentence, "", 0});
  for (EMCall k : {EMCall::GetTokens, EMCall::GetNumbers, EMCall::GetVarnames, EMCall::Analyse,
                   EMCall::GetAnalyseError, EMCall::Run, EMCall::GetRuntimeError})
    calls.push_back({k, "", "", 0});
  if (!s.Variables.empty()) {
    const SVariable& first = s.Variables.front();
    // Replaced with another type, so that a half-done replacement would show.
    calls.push_back({EMCall::SetVarValue, first.Name, std::string(40, '7'), first.Type == 0 ? 1 : 0});
  }
  for (EMCall k : {EMCall::Run, EMCall::GetRuntimeError, EMCall::Analyse, EMCall::GetAnalyseError,
                   EMCall::Run, EMCall::GetRuntimeError})
    calls.push_back({k, "", "", 0});
  return calls;
}

template <typename Calc>
SOutcome Perform(Calc& calc, const SCall& call) {
  SOutcome out;
  const std::int64_t failedBefore = testing::AllocationsFailed();
  const char* text = nullptr;
  {
    const testing::TCountedCall counted;
    switch (call.Kind) {
      case EMCall::ClearMemory: calc.ClearMemory(); break;
      case EMCall::SetVarValue: calc.SetVarValue(call.Name.c_str(), call.Value.c_str(), call.Type); break;
      case EMCall::SetSentence: calc.SetSentence(call.Name.c_str()); break;
      case EMCall::GetTokens: text = calc.GetTokens(); break;
      case EMCall::GetNumbers: text = calc.GetNumbers(); break;
      case EMCall::GetVarnames: text = calc.GetVarnames(); break;
      case EMCall::Analyse: out.Answer = calc.Analyse(); break;
      case EMCall::GetAnalyseError: text = calc.GetAnalyseError(); break;
      case EMCall::Run: out.Answer = calc.Run(); break;
      case EMCall::GetRuntimeError: text = calc.GetRuntimeError(); break;
    }
  }
  out.RanShort = testing::AllocationsFailed() != failedBefore;
  if (text != nullptr) {
    out.IsText = true;
    out.Text = text;
  }
  return out;
}

bool SameTable(const std::vector<SVarStruct>& a, const std::vector<SVarStruct>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].Type != b[i].Type || a[i].Name != b[i].Name || a[i].Value != b[i].Value) return false;
  return true;
}

// What a call that ran short may answer.
void ExpectShortAnswer(const SCall& call, const SOutcome& out, const std::string& where) {
  if (call.Kind == EMCall::Analyse || call.Kind == EMCall::Run) {
    EXPECT_FALSE(out.Answer) << where;
  }
  if (out.IsText) {
    EXPECT_EQ(out.Text, "") << where;
  }
  EXPECT_NE(call.Kind, EMCall::ClearMemory) << where << ": ClearMemory must not allocate";
}

std::string Where(const SScenario& s, const testing::SAllocationPlan& plan, std::size_t call) {
  return std::string(s.Name) + ", allocation " + std::to_string(plan.FailAt) +
         (plan.Persistent ? " and later" : "") + " failing, call " + std::to_string(call);
}

testing::SRuleAnswers ReferenceAnswers(const SScenario& s) {
  testing::StartAllocationPlan({});
  auto calc = testing::MakeCalc();
  return testing::AnswerRule(*calc, s.Variables, s.Sentence.c_str());
}

// The answers of a handle, whose runs start from a clean machine.
testing::SRuleAnswers HandleReferenceAnswers(const SScenario& s) {
  testing::StartAllocationPlan({});
  testing::TRunsAfresh calc(testing::FixedEnvironment());
  return testing::AnswerRule(calc, s.Variables, s.Sentence.c_str());
}

// Runs the scenario on a fresh instance under the plan, checking every call;
// returns the number of allocations counted.
std::int64_t RunOnInstance(const SScenario& s, const testing::SAllocationPlan& plan,
                           const testing::SRuleAnswers& reference) {
  auto calc = testing::MakeCalc();
  const std::vector<SCall> calls = CallsOf(s);
  testing::StartAllocationPlan(plan);
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const std::vector<SVarStruct> tableBefore = calc->Machine.Vars.All();
    const std::string sentenceBefore = calc->Tokeniser.Sentence;
    const SOutcome out = Perform(*calc, calls[i]);
    if (!out.RanShort) continue;
    const std::string where = Where(s, plan, i);
    ExpectShortAnswer(calls[i], out, where);
    EXPECT_TRUE(calc->MemoryRanOut()) << where;
    if (calls[i].Kind == EMCall::SetVarValue) {
      EXPECT_TRUE(SameTable(calc->Machine.Vars.All(), tableBefore)) << where << ": the table changed";
    }
    if (calls[i].Kind == EMCall::SetSentence) {
      EXPECT_EQ(calc->Tokeniser.Sentence, sentenceBefore) << where;
      EXPECT_EQ(calc->Tokeniser.SentenceLength, static_cast<std::int32_t>(sentenceBefore.size())) << where;
    }
  }
  const std::int64_t counted = testing::AllocationsCounted();
  if (plan.FailAt >= 0) {
    EXPECT_GE(testing::AllocationsFailed(), 1) << Where(s, plan, 0);
  }
  testing::StartAllocationPlan({});
  const testing::SRuleAnswers after = testing::AnswerRule(*calc, s.Variables, s.Sentence.c_str());
  EXPECT_EQ(after.Describe(), reference.Describe()) << Where(s, plan, calls.size()) << ": answers after recovery";
  EXPECT_FALSE(calc->MemoryRanOut()) << Where(s, plan, calls.size()) << ": cleared by ClearMemory";
  return counted;
}

// The same through the flat exports (one global calculator whose history is
// every earlier run) or through a fresh handle, checked by the answers alone
// (a handle's texts up to the flat exports' cut).
template <typename Calc>
void RunThrough(const char* label, const SScenario& s, const testing::SAllocationPlan& plan,
                const testing::SRuleAnswers& reference) {
  Calc calc;
  const std::vector<SCall> calls = CallsOf(s);
  testing::StartAllocationPlan(plan);
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const SOutcome out = Perform(calc, calls[i]);
    if (!out.RanShort) continue;
    ExpectShortAnswer(calls[i], out, Where(s, plan, i) + label);
    if constexpr (std::is_same_v<Calc, testing::THandleCalls>) {
      EXPECT_EQ(rulecalc_memory_ran_out(calc.Handle), 1) << Where(s, plan, i) << label;
    }
  }
  testing::StartAllocationPlan({});
  const auto cut = [](const char* text) { return std::string(text).substr(0, kResultBufferSize - 1); };
  const testing::SRuleAnswers after = testing::AnswerRule(calc, s.Variables, s.Sentence.c_str(), cut);
  EXPECT_EQ(after.Describe(), reference.Describe()) << Where(s, plan, calls.size()) << label;
}

// Its token listing is about 2200 bytes, more than the result buffer holds.
std::string LongSentence() {
  std::string s = "A>0";
  for (int i = 0; i < 110; ++i) s += " AND S||\"" + std::to_string(i) + "\"<>\"\"";
  return s + ";";
}

std::string Nested(int depth) {
  return std::string(static_cast<std::size_t>(depth), '(') + "A" +
         std::string(static_cast<std::size_t>(depth), ')') + "+LG(NVL(B,1))>1;";
}

std::vector<SScenario> Scenarios() {
  const std::vector<SVariable> numbers{{"A", "0", 0}, {"B", "9", 0}, {"C", "0", 0}};
  const std::vector<SVariable> texts{{"S", "abcdef", 1}, {"T", testing::Gbk("中文"), 1}, {"N", "", 0},
                                     {"U", "", 1}, {"Q", "3", 2}};
  return {
      {"comparison explanations", numbers, "A>1 AND B+A<2 OR C=3;"},
      {"failing THEN branch", {{"A", "5", 0}, {"B", "7", 0}, {"C", "0", 0}}, "IF A>1 THEN B<2 ELSE C=3;"},
      {"failing ELSE branch", numbers, "IF A>1 THEN B<2 ELSE C=3 AND B<0; B>1;"},
      {"texts and built-ins", texts,
       "S||T||\"x\"<>\"\" AND SUBSTR(S,2,3)=\"cde\" AND FINDSTR(S,\"cd\")=2 AND LENGTH(T)=4 AND "
       "NVL(N,1)=1 AND NVL(U,\"d\")=\"d\" AND LG(1000)=3 AND Q>1 AND "
       "TOCHAR(TODATE(\"2/29/2024\"),\"yyyy-mm-dd\")<>S AND YEAR(ADDMONTHS(N,13))>0 AND S>\"zz\";"},
      {"analysis errors", numbers, "A>1; LENGTH(A)>0;"},
      {"unknown variable", numbers, "A>1 AND Z<2;"},
      {"listing beyond the result buffer", {{"A", "1", 0}, {"S", "s", 1}}, LongSentence()},
      {"nested brackets", {{"A", "5", 0}, {"B", "", 0}}, Nested(150)},
      {"empty sentence", {}, ""},
  };
}

class AllocationFailure : public ::testing::TestWithParam<SScenario> {};

TEST_P(AllocationFailure, EveryAllocationOfTheSequenceMayFail) {
  const SScenario& s = GetParam();
  const testing::SRuleAnswers reference = ReferenceAnswers(s);
  const std::int64_t allocations = RunOnInstance(s, {}, reference);
  ASSERT_GT(allocations, 0);
  for (std::int64_t n = 0; n < allocations && !HasFailure(); ++n) {
    RunOnInstance(s, {n, false}, reference);
    RunOnInstance(s, {n, true}, reference);
  }
}

// Every fifth of the first 400 allocations failing, once and from there on.
template <typename Calc>
void RecoverThrough(const char* label, const SScenario& s, const testing::SRuleAnswers& reference) {
  for (std::int64_t n = 0; n < 400 && !::testing::Test::HasFailure(); n += 5) {
    RunThrough<Calc>(label, s, {n, false}, reference);
    RunThrough<Calc>(label, s, {n, true}, reference);
  }
}

TEST_P(AllocationFailure, TheFlatExportsRecoverToo) {
  RecoverThrough<testing::TFlatExports>(" (flat exports)", GetParam(), ReferenceAnswers(GetParam()));
}

TEST_P(AllocationFailure, TheHandlesRecoverToo) {
  RecoverThrough<testing::THandleCalls>(" (handle)", GetParam(), HandleReferenceAnswers(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Sequences, AllocationFailure, ::testing::ValuesIn(Scenarios()),
                         [](const ::testing::TestParamInfo<SScenario>& scenario) {
                           std::string name;
                           for (const char* c = scenario.param.Name; *c; ++c)
                             name += (std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_');
                           return name;
                         });

// A calculator keeps working when memory runs out for good and comes back.
TEST(AllocationFailure, ExhaustionFromTheFirstAllocationThenRecovery) {
  auto calc = testing::MakeCalc();
  const std::string sentence = "A>1 AND A<3 AND LENGTH(\"a long text that needs memory of its own\")>0;";
  bool tokensEmpty = false, analysed = true, runtimeEmpty = false;
  testing::StartAllocationPlan({0, true});
  {
    const testing::TCountedCall counted;
    calc->ClearMemory();
    calc->SetVarValue("A", "5", 0);
    calc->SetSentence(sentence.c_str());
    tokensEmpty = calc->GetTokens()[0] == '\0';
    analysed = calc->Analyse();
    calc->Run();
    runtimeEmpty = calc->GetRuntimeError()[0] == '\0';
  }
  EXPECT_GT(testing::AllocationsFailed(), 0);
  EXPECT_TRUE(tokensEmpty);
  EXPECT_FALSE(analysed);
  EXPECT_TRUE(runtimeEmpty);
  testing::StartAllocationPlan({});
  const testing::SRuleAnswers after = testing::AnswerRule(*calc, {{"A", "5", 0}}, sentence.c_str());
  EXPECT_TRUE(after.Analysed);
  EXPECT_FALSE(after.Held);
  EXPECT_EQ(after.RuntimeText, "A:: A<3 ;");
}

// Opening a handle gives NULL, and leaks nothing, whichever allocation fails.
TEST(AllocationFailure, OpeningAHandleWithoutMemoryGivesNull) {
  std::int64_t allocations = 1;
  for (std::int64_t n = -1; n < allocations; ++n) {
    testing::StartAllocationPlan({n, false});
    rulecalc_handle* calc = nullptr;
    {
      const testing::TCountedCall counted;
      calc = rulecalc_open();
    }
    if (n < 0) allocations = testing::AllocationsCounted();
    EXPECT_EQ(calc == nullptr, n >= 0) << "allocation " << n << " failing";
    testing::StartAllocationPlan({});
    rulecalc_close(calc);
  }
  EXPECT_GT(allocations, 1);
}

}  // namespace
}  // namespace rulecalc
