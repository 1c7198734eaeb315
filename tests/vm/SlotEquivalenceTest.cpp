#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/SentenceGenerator.h"
#include "support/TestCalc.h"
#include "vm/NumberText.h"
#include "rulecalc.h"

namespace rulecalc {
namespace {

using testing::SGeneratedRule;
using testing::SVariable;

// What a host sees of one run: status, run-time text and failed clauses.
std::string Outcome(TRuleCalc& calc) {
  const ERunStatus status = calc.RunAfresh();
  const TVirtualMachine& m = calc.Machine;
  std::ostringstream out;
  out << int(status) << " | " << m.RuntimeError << " |";
  for (const SFailedClause& c : m.FailedClauses)
    out << ' ' << m.RuntimeError.substr(c.NamesStart, c.NamesLength) << '|'
        << m.RuntimeError.substr(c.TextStart, c.TextLength);
  return out.str();
}

// Sets a variable's value by its slot: a numeric one whose text the
// calculator would show unchanged for its number as that number, any other
// as its text. Counts the values given as numbers.
void SetBySlot(TRuleCalc& calc, long slot, const SVariable& variable, int& numbers) {
  double value = 0;
  if (variable.Type != kTextType && ReadNumber(variable.Value, '.', value)) {
    ASSERT_TRUE(calc.SetNumber(slot, value));
    if (calc.Machine.Vars.Text(static_cast<std::size_t>(slot)) == variable.Value) {
      ++numbers;
      return;
    }
  }
  ASSERT_TRUE(calc.SetText(slot, variable.Value.data(), variable.Value.size()));
}

// The second values come from another rule, given to the same compiled code.
TEST(SlotEquivalence, NumbersBySlotAnswerAsTheirTexts) {
  testing::TSentenceGenerator generator(27);
  auto byName = testing::MakeCalc();
  auto bySlot = testing::MakeCalc();
  int numbers = 0;
  for (int i = 0; i < 3000; ++i) {
    const SGeneratedRule rule = generator.Next();
    const SGeneratedRule later = generator.Next();
    byName->ClearMemory();
    bySlot->ClearMemory();
    std::vector<long> slots;
    for (const SVariable& v : rule.Variables) {
      byName->SetVarValue(v.Name.c_str(), v.Value.c_str(), v.Type);
      slots.push_back(bySlot->BindVariable(v.Name.c_str(), v.Type));
      SetBySlot(*bySlot, slots.back(), v, numbers);
    }
    for (TRuleCalc* calc : {byName.get(), bySlot.get()}) {
      calc->SetSentence(rule.Sentence.c_str());
      calc->Analyse();
    }
    ASSERT_EQ(Outcome(*byName), Outcome(*bySlot)) << rule.Sentence;
    for (std::size_t v = 0; v < slots.size(); ++v) {
      for (const SVariable& next : later.Variables) {
        if (next.Name != rule.Variables[v].Name || (next.Type == kTextType) != (rule.Variables[v].Type == kTextType))
          continue;
        byName->SetVarValue(next.Name.c_str(), next.Value.c_str(), rule.Variables[v].Type);
        SetBySlot(*bySlot, slots[v], SVariable{next.Name, next.Value, rule.Variables[v].Type}, numbers);
      }
    }
    ASSERT_EQ(Outcome(*byName), Outcome(*bySlot)) << rule.Sentence << " with later values";
  }
  EXPECT_GT(numbers, 10000);  // most numeric values went by number
}

// The union of the rules' variables, each name once (its first type), with
// the values of the given rules (later ones replace earlier ones of the
// same name and kind).
std::map<std::string, SVariable> Union(const std::vector<SGeneratedRule>& rules, std::map<std::string, SVariable> known) {
  for (const SGeneratedRule& rule : rules)
    for (const SVariable& v : rule.Variables) {
      auto [at, added] = known.emplace(v.Name, v);
      if (!added && (at->second.Type == kTextType) == (v.Type == kTextType)) at->second.Value = v.Value;
    }
  return known;
}

std::string HandleOutcome(rulecalc_status status, const char* text) {
  return std::to_string(int(status)) + " | " + text;
}

// Four rules in a set answer as four calculators each given every variable
// of the set, record after record; so do the rules' own handles.
TEST(RuleSetEquivalence, RulesOfASetAnswerAsSeparateCalculators) {
  testing::TSentenceGenerator generator(28);
  for (int group = 0; group < 600; ++group) {
    std::vector<SGeneratedRule> rules;
    for (int r = 0; r < 4; ++r) rules.push_back(generator.Next());
    std::map<std::string, SVariable> variables = Union(rules, {});
    rulecalc_rules* set = rulecalc_rules_open(nullptr);
    std::map<std::string, long> slots;
    for (const auto& [name, v] : variables) slots[name] = rulecalc_rules_bind(set, name.c_str(), v.Type);
    std::vector<rulecalc_handle*> alone;
    std::vector<int> compiled;
    for (const SGeneratedRule& rule : rules) {
      ASSERT_EQ(rulecalc_rules_add(set, "rule", rule.Sentence.c_str()), long(alone.size()));
      alone.push_back(rulecalc_open());
      for (const auto& [name, v] : variables) rulecalc_set_variable(alone.back(), name.c_str(), v.Value.c_str(), v.Type);
      rulecalc_set_sentence(alone.back(), rule.Sentence.c_str());
      compiled.push_back(rulecalc_analyse(alone.back()));
    }
    for (int record = 0; record < 3; ++record) {
      for (const auto& [name, v] : variables) {
        ASSERT_EQ(rulecalc_rules_set_text(set, slots[name], v.Value.data(), v.Value.size()), 0);
        for (rulecalc_handle* calc : alone) rulecalc_set_variable(calc, name.c_str(), v.Value.c_str(), v.Type);
      }
      uint8_t statuses[4] = {9, 9, 9, 9};
      rulecalc_rules_run(set, statuses);
      for (std::size_t r = 0; r < alone.size(); ++r) {
        const rulecalc_status own = compiled[r] ? rulecalc_run(alone[r]) : RULECALC_RUNTIME_ERROR;
        const char* ownText = compiled[r] ? rulecalc_runtime_error(alone[r], nullptr)
                                          : rulecalc_analyse_error(alone[r], nullptr);
        ASSERT_EQ(HandleOutcome(rulecalc_status(statuses[r]), rulecalc_rules_text(set, r, nullptr)),
                  HandleOutcome(own, ownText))
            << rules[r].Sentence;
        ASSERT_EQ(rulecalc_failed_clause_count(rulecalc_rules_rule(set, r)), rulecalc_failed_clause_count(alone[r]));
      }
      variables = Union({generator.Next(), generator.Next()}, variables);
      for (auto it = variables.begin(); it != variables.end();) it = slots.count(it->first) ? std::next(it) : variables.erase(it);
    }
    for (rulecalc_handle* calc : alone) rulecalc_close(calc);
    rulecalc_rules_close(set);
  }
}

}  // namespace
}  // namespace rulecalc
