// Rule sets: many named rules over one variable table. Each rule is a
// handle of its own (its code, its explanations, its warnings) whose
// machine reads the set's table, so a record's variables are set once for
// every rule. None of these functions throws.

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "boundary/Handle.h"
#include "rulecalc.h"

struct rulecalc_rules {
  rulecalc::SHostEnvironment Environment;
  rulecalc::ELanguage Language = rulecalc::ELanguage::Classic;
  rulecalc::TVarTable Variables;  // declared before the rules, which read it
  std::vector<std::unique_ptr<rulecalc::Handle>> Rules;
  std::vector<std::string> Names;
};

namespace {

using rulecalc::Handle;

const char* Answer(std::string_view text, size_t* length) {
  if (length != nullptr) *length = text.size();
  return text.data();
}

Handle* RuleAt(rulecalc_rules* rules, size_t index) {
  if (rules == nullptr || index >= rules->Rules.size()) return nullptr;
  return rules->Rules[index].get();
}

// A rule that did not compile answers every run with its analysis error.
rulecalc_status RunRule(Handle& rule) {
  if (!rule.RuleCompiled) return RULECALC_RUNTIME_ERROR;
  switch (rule.Calc.RunAfresh()) {
    case rulecalc::ERunStatus::Held: return RULECALC_HELD;
    case rulecalc::ERunStatus::Failed: return RULECALC_FAILED;
    default: return RULECALC_RUNTIME_ERROR;
  }
}

}  // namespace

extern "C" {

RULECALC_API rulecalc_rules* RULECALC_CDECL rulecalc_rules_open(rulecalc_handle* settings) {
  try {
    auto rules = std::make_unique<rulecalc_rules>();
    if (settings != nullptr) {
      rules->Environment = settings->Calc.Environment;
      rules->Language = settings->Calc.Tokeniser.Language;
    } else {
      rules->Environment = rulecalc::ReadHostEnvironment();
    }
    return rules.release();
  } catch (...) {
    return nullptr;
  }
}

RULECALC_API void RULECALC_CDECL rulecalc_rules_close(rulecalc_rules* rules) { delete rules; }

RULECALC_API long RULECALC_CDECL rulecalc_rules_bind(rulecalc_rules* rules, const char* name, int32_t type) {
  if (rules == nullptr || name == nullptr) return -1;
  try {
    return static_cast<long>(rules->Variables.Bind(name, type));
  } catch (...) {
    return -1;  // the table is as it was before the call
  }
}

RULECALC_API int RULECALC_CDECL rulecalc_rules_set_number(rulecalc_rules* rules, long slot, double value) {
  if (rules == nullptr || slot < 0 || static_cast<size_t>(slot) >= rules->Variables.Size()) return -1;
  if (!std::isfinite(value)) return -1;
  rules->Variables.SetNumber(static_cast<size_t>(slot), value, rules->Environment.Settings.DecimalSeparator);
  return 0;
}

RULECALC_API int RULECALC_CDECL rulecalc_rules_set_text(rulecalc_rules* rules, long slot, const char* bytes,
                                                       size_t length) {
  if (rules == nullptr || slot < 0 || static_cast<size_t>(slot) >= rules->Variables.Size()) return -1;
  if (bytes == nullptr && length > 0) return -1;
  const std::string_view text(bytes == nullptr ? "" : bytes, length);
  try {
    rules->Variables.SetText(static_cast<size_t>(slot), text.substr(0, text.find('\0')));
  } catch (...) {
    return -1;  // the record is as it was before the call
  }
  return 0;
}

RULECALC_API long RULECALC_CDECL rulecalc_rules_add(rulecalc_rules* rules, const char* name, const char* sentence) {
  if (rules == nullptr || name == nullptr || sentence == nullptr) return -1;
  try {
    auto rule = std::make_unique<Handle>(rules->Environment, rules->Variables);
    rule->InRuleSet = true;
    rule->Calc.SetLanguage(rules->Language);
    rule->Calc.SetSentence(sentence);
    rule->RuleCompiled = rule->Calc.Analyse();
    rule->AnalysisStop = rule->Calc.AnalysisStop();
    if (rule->Calc.MemoryRanOut()) return -1;
    rules->Names.emplace_back(name);
    try {
      rules->Rules.push_back(std::move(rule));
    } catch (...) {
      rules->Names.pop_back();
      throw;
    }
    return static_cast<long>(rules->Rules.size() - 1);
  } catch (...) {
    return -1;
  }
}

RULECALC_API size_t RULECALC_CDECL rulecalc_rules_count(rulecalc_rules* rules) {
  return rules == nullptr ? 0 : rules->Rules.size();
}

RULECALC_API const char* RULECALC_CDECL rulecalc_rules_name(rulecalc_rules* rules, size_t index, size_t* length) {
  if (RuleAt(rules, index) == nullptr) return Answer("", length);
  return Answer(rules->Names[index], length);
}

RULECALC_API rulecalc_handle* RULECALC_CDECL rulecalc_rules_rule(rulecalc_rules* rules, size_t index) {
  return RuleAt(rules, index);
}

RULECALC_API rulecalc_status RULECALC_CDECL rulecalc_rules_run(rulecalc_rules* rules, uint8_t* statuses) {
  if (rules == nullptr) return RULECALC_RUNTIME_ERROR;
  rulecalc_status worst = RULECALC_HELD;
  for (size_t index = 0; index < rules->Rules.size(); ++index) {
    const rulecalc_status status = RunRule(*rules->Rules[index]);
    if (statuses != nullptr) statuses[index] = static_cast<uint8_t>(status);
    if (status > worst) worst = status;
  }
  return worst;
}

RULECALC_API const char* RULECALC_CDECL rulecalc_rules_text(rulecalc_rules* rules, size_t index, size_t* length) {
  const Handle* rule = RuleAt(rules, index);
  if (rule == nullptr) return Answer("", length);
  if (!rule->RuleCompiled) return Answer(rule->Calc.Analysor.AnalyseError, length);
  return Answer(rule->Calc.Machine.RuntimeError, length);
}

}  // extern "C"
