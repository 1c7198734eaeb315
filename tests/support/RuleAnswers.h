#pragma once

// One rule put through a calculator the way a host does it, with every answer
// collected, so that two calculators (or one calculator at two moments) can
// be compared. Header-only and free of GoogleTest: the fuzz targets and the
// soak program use it too.

#include <cstdint>
#include <string>
#include <vector>

#include "rulecalc.h"

namespace rulecalc::testing {

struct SVariable {
  std::string Name;
  std::string Value;
  std::int32_t Type = 0;
};

// Everything a host can learn from one rule. The analysis error is kept only
// after a failed Analyse: after a successful one the getter still answers the
// last failure of whatever came before.
struct SRuleAnswers {
  std::string Tokens, Numbers, Varnames;
  bool Analysed = false;
  std::string AnalyseError;
  bool Held = false;
  std::string RuntimeText;
  bool AnalysedNext = false;  // a second Analyse: the statement after the first ";"
  std::string AnalyseErrorNext;
  bool HeldNext = false;
  std::string RuntimeTextNext;

  bool operator==(const SRuleAnswers& o) const {
    return Tokens == o.Tokens && Numbers == o.Numbers && Varnames == o.Varnames &&
           Analysed == o.Analysed && AnalyseError == o.AnalyseError && Held == o.Held &&
           RuntimeText == o.RuntimeText && AnalysedNext == o.AnalysedNext &&
           AnalyseErrorNext == o.AnalyseErrorNext && HeldNext == o.HeldNext &&
           RuntimeTextNext == o.RuntimeTextNext;
  }
  bool operator!=(const SRuleAnswers& o) const { return !(*this == o); }

  // A readable account, for failure messages.
  std::string Describe() const {
    auto flag = [](bool b) { return b ? std::string("true") : std::string("false"); };
    return "tokens[" + Tokens + "] numbers[" + Numbers + "] names[" + Varnames + "] analyse " +
           flag(Analysed) + " [" + AnalyseError + "] run " + flag(Held) + " [" + RuntimeText +
           "] analyse2 " + flag(AnalysedNext) + " [" + AnalyseErrorNext + "] run2 " + flag(HeldNext) +
           " [" + RuntimeTextNext + "]";
  }
};

// The ten flat exports (the library's one global calculator) in the shape of
// the C++ instance class, so that both can go through the same steps.
struct TFlatExports {
  void SetSentence(const char* s) noexcept { ::SetSentence(s); }
  const char* GetTokens() noexcept { return ::GetTokens(); }
  const char* GetNumbers() noexcept { return ::GetNumbers(); }
  const char* GetVarnames() noexcept { return ::GetVarnames(); }
  void ClearMemory() noexcept { ::ClearMemory(); }
  void SetVarValue(const char* n, const char* v, std::int32_t t) noexcept { ::SetVarValue(n, v, t); }
  bool Analyse() noexcept { return ::Analyse(); }
  const char* GetAnalyseError() noexcept { return ::GetAnalyseError(); }
  bool Run() noexcept { return ::Run(); }
  const char* GetRuntimeError() noexcept { return ::GetRuntimeError(); }
};

// The host's calling order for one rule, then a second Analyse and Run.
// TakeText receives every returned text pointer and turns it into a string
// (so that callers can check the pointer first).
template <typename Calc, typename TakeText>
SRuleAnswers AnswerRule(Calc& calc, const std::vector<SVariable>& variables, const char* sentence,
                        TakeText takeText) {
  SRuleAnswers a;
  calc.ClearMemory();
  for (const SVariable& v : variables) calc.SetVarValue(v.Name.c_str(), v.Value.c_str(), v.Type);
  calc.SetSentence(sentence);
  a.Tokens = takeText(calc.GetTokens());
  a.Numbers = takeText(calc.GetNumbers());
  a.Varnames = takeText(calc.GetVarnames());
  a.Analysed = calc.Analyse();
  if (!a.Analysed) a.AnalyseError = takeText(calc.GetAnalyseError());
  a.Held = calc.Run();
  a.RuntimeText = takeText(calc.GetRuntimeError());
  a.AnalysedNext = calc.Analyse();
  if (!a.AnalysedNext) a.AnalyseErrorNext = takeText(calc.GetAnalyseError());
  a.HeldNext = calc.Run();
  a.RuntimeTextNext = takeText(calc.GetRuntimeError());
  return a;
}

template <typename Calc>
SRuleAnswers AnswerRule(Calc& calc, const std::vector<SVariable>& variables, const char* sentence) {
  return AnswerRule(calc, variables, sentence, [](const char* t) { return std::string(t ? t : ""); });
}

}  // namespace rulecalc::testing
