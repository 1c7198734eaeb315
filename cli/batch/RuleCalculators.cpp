#include "batch/RuleCalculators.h"


namespace rulecalc::cli {

namespace {

// Runs the analysed rule from a clean machine (variables, code and the
// explanation cache stay), as a cleared calculator would start.
SEvaluation RunAnalysed(TRuleCalc& calc) {
  const ERunStatus status = calc.RunAfresh();
  if (status == ERunStatus::Held) return SEvaluation{};
  const EMOutcome outcome = status == ERunStatus::RuntimeError ? EMOutcome::RunError : EMOutcome::Failed;
  return SEvaluation{outcome, calc.GetRuntimeError(), {}, {}};
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

TRuleCalculators::TRuleCalculators(const SBatchPlan& plan) : Plan(plan), Variables(EmptyVariables(plan.Columns)) {
  if (plan.FreshCalculators) {
    Shared = std::make_unique<TRuleCalc>(plan.Environment);
    return;
  }
  for (std::size_t i = 0; i < plan.Rules.size(); ++i) {
    PerRule.push_back(std::make_unique<TRuleCalc>(plan.Environment));
    if (plan.RuleAnalyses[i]) AnalyseRule(*PerRule.back(), plan.Rules[i], Variables);
  }
}

SEvaluation TRuleCalculators::Evaluate(std::size_t rule, const std::vector<std::string>& gbkValues) {
  if (!Shared) return Rerun(rule, gbkValues);
  for (std::size_t i = 0; i < Variables.size(); ++i) Variables[i].Value = gbkValues[i];
  return cli::Evaluate(*Shared, Plan.Rules[rule].GbkSentence, Variables, EMStep::AnalyseAndRun);
}

SEvaluation TRuleCalculators::Rerun(std::size_t rule, const std::vector<std::string>& gbkValues) {
  TRuleCalc& calc = *PerRule[rule];
  for (std::size_t column : Plan.RuleColumns[rule]) {
    const SColumn& named = Plan.Columns[column];
    calc.SetVarValue(named.GbkName.c_str(), gbkValues[column].c_str(), named.Type);
  }
  return RunAnalysed(calc);
}

}  // namespace rulecalc::cli
