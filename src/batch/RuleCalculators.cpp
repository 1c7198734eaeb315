#include "batch/RuleCalculators.h"

#include <new>

namespace rulecalc::batch {

namespace {

// Runs the analysed rule from a clean machine (variables, code and the
// explanation cache stay), as a cleared calculator would start.
SEvaluation RunAnalysed(TRuleCalc& calc) {
  const ERunStatus status = calc.RunAfresh();
  RequireMemory(calc);
  if (status == ERunStatus::Held) return SEvaluation{EMOutcome::Held, {}, {}, {}, calc.Machine.Notes};
  const EMOutcome outcome = status == ERunStatus::RuntimeError ? EMOutcome::RunError : EMOutcome::Failed;
  SEvaluation evaluation{outcome, calc.GetRuntimeError(), {}, {}, calc.Machine.Notes};
  RequireMemory(calc);
  return evaluation;
}

// The named columns as variables with empty values: all a rule's analysis needs.
std::vector<SVariable> EmptyVariables(const std::vector<std::size_t>& named, const std::vector<SColumn>& columns) {
  std::vector<SVariable> variables;
  for (std::size_t column : named) variables.push_back(SVariable{columns[column].GbkName, "", columns[column].Type});
  return variables;
}

}  // namespace

std::vector<SVariable> EmptyVariables(const std::vector<SColumn>& columns) {
  std::vector<SVariable> variables;
  for (const SColumn& column : columns) variables.push_back(SVariable{column.GbkName, "", column.Type});
  return variables;
}

SEvaluation AnalyseRule(TRuleCalc& calc, const SRule& rule, const std::vector<SVariable>& variables) {
  return Evaluate(calc, rule.GbkSentence, variables, EMStep::AnalyseOnly);
}

void RequireMemory(const TRuleCalc& calc) {
  if (calc.MemoryRanOut()) throw std::bad_alloc();
}

TRuleCalculators::TRuleCalculators(const SBatchPlan& plan) : Plan(plan) {
  if (plan.FreshCalculators) {
    Variables = EmptyVariables(plan.Columns);
    Shared = std::make_unique<TRuleCalc>(plan.Environment);
    Shared->SetLanguage(plan.Language);
    Shared->Machine.TakeNotes = true;
    return;
  }
  PerSentence.resize(plan.Rules.size());
  ColumnSlots.assign(plan.Columns.size(), -1);
  ColumnRows.assign(plan.Columns.size(), 0);
}

SEvaluation TRuleCalculators::Evaluate(std::size_t rule, const std::vector<std::string>& gbkValues) {
  if (!Shared) return Rerun(rule, gbkValues);
  for (std::size_t i = 0; i < Variables.size(); ++i) Variables[i].Value = gbkValues[i];
  SEvaluation evaluation = batch::Evaluate(*Shared, Plan.Rules[rule].GbkSentence, Variables, EMStep::AnalyseAndRun);
  RequireMemory(*Shared);
  return evaluation;
}

// The rule's calculator, made and analysed on first use with the columns the
// rule names (every column, should that ever not analyse as the check did),
// its code list made as long as the check found it at once. The analysis
// empties the table the calculators share: every column is bound and set
// again afterwards.
TRuleCalc& TRuleCalculators::Analysed(std::size_t rule) {
  std::unique_ptr<TRuleCalc>& shared = PerSentence[Plan.RuleSentence[rule]];
  if (shared) return *shared;
  ColumnSlots.assign(Plan.Columns.size(), -1);
  ColumnRows.assign(Plan.Columns.size(), 0);
  auto calc = std::make_unique<TRuleCalc>(Plan.Environment, RowVariables);
  calc->SetLanguage(Plan.Language);
  calc->Machine.TakeNotes = true;
  calc->ReserveCode(Plan.RuleCodeSize[rule]);
  const SRule& analysed = Plan.Rules[rule];
  if (AnalyseRule(*calc, analysed, EmptyVariables(Plan.RuleColumns[rule], Plan.Columns)).Outcome != EMOutcome::Held) {
    AnalyseRule(*calc, analysed, EmptyVariables(Plan.Columns));
  }
  RequireMemory(*calc);
  shared = std::move(calc);
  return *shared;
}

// The column's value for this row, unless set already; its variable is
// bound on first use. The values go in as text: the machine reads a numeric
// one once, when it is used.
void TRuleCalculators::SetColumn(std::size_t column, const std::string& gbkValue) {
  if (ColumnRows[column] == Row) return;
  if (ColumnSlots[column] < 0) {
    const SColumn& named = Plan.Columns[column];
    ColumnSlots[column] = static_cast<long>(RowVariables.Bind(named.GbkName, named.Type));
  }
  RowVariables.SetText(static_cast<std::size_t>(ColumnSlots[column]), gbkValue);
  ColumnRows[column] = Row;
}

SEvaluation TRuleCalculators::Rerun(std::size_t rule, const std::vector<std::string>& gbkValues) {
  TRuleCalc& calc = Analysed(rule);
  for (std::size_t column : Plan.RuleColumns[rule]) SetColumn(column, gbkValues[column]);
  return RunAnalysed(calc);
}

}  // namespace rulecalc::batch
