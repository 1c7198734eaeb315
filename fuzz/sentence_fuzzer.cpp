// Sentence target: the input bytes are one sentence (up to its first NUL),
// run against a fixed table of number, date and text variables through the
// flat exports: the three listings, Analyse, Run and both error getters,
// then a second Analyse and Run (the statement after the first ";").
//
// The same rule also goes through an independent C++ instance, whose
// tokeniser runs the automata one by one instead of combined, and a handle,
// whose histories differ, and every answer must be the same (the handle's
// texts up to the flat exports' cut; its runs start from a clean machine, as
// those of a fresh instance that runs afresh); every warning of the handle's
// analysis lies inside the sentence.
//
// A classic and an extended instance answer the rule too: the same account
// (listings, analyses, code lists, warnings, runs, failed clauses) unless the
// sentence names one of the extended language's keywords as a variable; the
// extended language then refuses a first statement that the classic one
// analyses.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzChecks.h"
#include "boundary/RuleCalc.h"
#include "support/HandleCalls.h"
#include "support/RuleAnswers.h"
#include "support/RunsAfresh.h"

namespace {

using rulecalc::testing::SVariable;

const std::vector<SVariable>& FixedVariables() {
  static const std::vector<SVariable> variables = {
      {"A", "5", 0},
      {"B", "-2.5", 0},
      {"C", "", 0},                       // the null number
      {"D", "45356.5", 0},                // a date with a time of day
      {"E", "1e308", 0},                  // near the largest double
      {"F", "-657434", 0},                // the first valid date
      {"G", "2958465.999", 0},            // the last valid date
      {"H", "abc", 0},                    // not a number: loads as the null number
      {"I", "2147483648", 0},             // one past the 32-bit counts
      {"J", "-1e-300", 0},
      {"S", "abcdef", 1},
      {"T", "", 1},
      {"U", "\xd6\xd0\xce\xc4", 1},         // two GBK characters
      {"V", std::string(300, 'v'), 1},    // longer than the TOCHAR cut
      {"W", "yyyy-mm-dd hh:nn:ss zzz am/pm dddd mmmm c", 1},
      {"Q", "7", 2},                      // a type code other than 0 and 1
      {"R", "x", -1},
      {"day1", "1", 0},
      {"name_2", "\"quoted\"", 1},
  };
  return variables;
}

template <typename Calc>
rulecalc::testing::SRuleAnswers Answer(Calc& calc, const char* sentence) {
  return rulecalc::testing::AnswerRule(calc, FixedVariables(), sentence, rulecalc::fuzzing::Held);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string sentence(reinterpret_cast<const char*>(data), size);

  rulecalc::testing::TFlatExports flat;
  const auto viaExports = Answer(flat, sentence.c_str());
  // Every text getter hands out the one shared buffer.
  const char* buffer = ::GetTokens();
  rulecalc::fuzzing::Require(buffer == ::GetRuntimeError() && buffer == ::GetAnalyseError(),
                             "the text getters do not share one buffer");

  static rulecalc::TRuleCalc instance;
  instance.Tokeniser.UseCombinedAutomaton = false;
  const auto viaInstance = Answer(instance, sentence.c_str());
  rulecalc::fuzzing::RequireSame(viaExports.Describe(), viaInstance.Describe(),
                                 "the flat exports and an independent instance answer differently");

  static rulecalc::testing::THandleCalls handle;
  const auto cutAsTheExports = [](const char* text) {
    return rulecalc::fuzzing::Whole(text).substr(0, rulecalc::kResultBufferSize - 1);
  };
  const auto viaHandle = rulecalc::testing::AnswerRule(handle, FixedVariables(), sentence.c_str(), cutAsTheExports);
  rulecalc::testing::TRunsAfresh runsAfresh;
  const auto viaRunsAfresh = rulecalc::testing::AnswerRule(runsAfresh, FixedVariables(), sentence.c_str(), cutAsTheExports);
  rulecalc::fuzzing::RequireSame(viaRunsAfresh.Describe(), viaHandle.Describe(),
                                 "a handle and an instance that runs afresh answer differently");
  rulecalc::fuzzing::RequireWarningsInside(handle.Handle, std::strlen(sentence.c_str()));
  rulecalc::fuzzing::RequireStopInside(handle.Handle, std::strlen(sentence.c_str()));
  rulecalc::fuzzing::RequireItemsMakeTheListings(handle.Handle);

  static rulecalc::TRuleCalc classic;
  static rulecalc::TRuleCalc extended;
  extended.SetLanguage(rulecalc::ELanguage::Extended);
  rulecalc::fuzzing::RequireSameInBothLanguages(classic, extended, FixedVariables(), sentence.c_str());

  // Leave the instance in another state than the global calculator, so that
  // the next input also checks that earlier calls do not change the answers.
  instance.SetSentence("IF A>1 THEN S||\"x\"=\"y\" ELSE B<0; C>1 AND");
  instance.Analyse();
  instance.Run();
  instance.SetVarValue("S", "left over", 0);
  return 0;
}
