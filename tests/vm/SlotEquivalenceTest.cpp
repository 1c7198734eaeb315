#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/SentenceGenerator.h"
#include "support/TestCalc.h"
#include "vm/NumberText.h"

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

}  // namespace
}  // namespace rulecalc
