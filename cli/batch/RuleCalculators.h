#pragma once

#include <memory>
#include <string>
#include <vector>

#include "batch/BatchPlan.h"
#include "boundary/RuleCalc.h"
#include "calc/Evaluation.h"

namespace rulecalc::cli {

// Evaluates the plan's rules on rows, for one worker thread. Each rule has a
// calculator of its own, analysed once: per row only the values of the
// columns the rule names are replaced (SetVarValue replaces) and the
// compiled code runs again, with the run-time state of a fresh calculator and
// the rule's explanations kept from earlier runs. With FreshCalculators the
// same verdicts come the long way: one calculator, cleared, given every
// column, the sentence and a new analysis for every row and rule.
class TRuleCalculators {
 public:
  explicit TRuleCalculators(const SBatchPlan& plan);

  // The verdict of rule (which analysed) on the row's GBK values, one per column.
  SEvaluation Evaluate(std::size_t rule, const std::vector<std::string>& gbkValues);

 private:
  SEvaluation Rerun(std::size_t rule, const std::vector<std::string>& gbkValues);

  const SBatchPlan& Plan;
  std::vector<SVariable> Variables;                 // every column, for analyses
  std::vector<std::unique_ptr<TRuleCalc>> PerRule;  // empty with FreshCalculators
  std::unique_ptr<TRuleCalc> Shared;                // with FreshCalculators
};

// Analyses rule once against the columns' types (every value empty) on calc.
SEvaluation AnalyseRule(TRuleCalc& calc, const SRule& rule, const std::vector<SVariable>& variables);

// Every column as a variable with an empty value and the column's type.
std::vector<SVariable> EmptyVariables(const std::vector<SColumn>& columns);

}  // namespace rulecalc::cli
