#include "batch/ColumnName.h"

#include "boundary/RuleCalc.h"

namespace rulecalc::batch {

namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsNameCharacter(char c) { return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_'; }

}  // namespace

std::string WhyNotAName(const std::string& gbkName, ELanguage language) {
  TRuleCalc calc(SHostEnvironment{});
  calc.SetLanguage(language);
  calc.SetSentence(gbkName.c_str());
  if (calc.GetVarnames() == gbkName) return {};
  if (gbkName.empty() || !IsAsciiLetter(gbkName.front())) return "a name starts with an ASCII letter";
  for (char c : gbkName) {
    if (c == ' ') return "a name cannot hold a blank";
    if (!IsNameCharacter(c)) return "a name holds only ASCII letters, digits and underscores";
  }
  return "it is a word of the rule language";
}

}  // namespace rulecalc::batch
