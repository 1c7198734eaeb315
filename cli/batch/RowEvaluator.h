#pragma once

#include <string>
#include <vector>

#include "batch/Columns.h"
#include "batch/RulesFile.h"
#include "boundary/RuleCalc.h"
#include "calc/Evaluation.h"

namespace rulecalc::cli {

// Evaluates rows against rules on a calculator of its own, one per thread.
// Every rule of every row starts from a cleared calculator, so an explanation
// belongs to its own row and rule only.
class TRowEvaluator {
 public:
  explicit TRowEvaluator(const std::vector<SColumn>& columns);

  // The evaluation of rule for the row's GBK values (one per column).
  SEvaluation Evaluate(const SRule& rule, const std::vector<std::string>& gbkValues);

  // Analysis only, with every column empty: whether rule analyses against the columns' types.
  SEvaluation Check(const SRule& rule);

 private:
  TRuleCalc Calc;
  std::vector<SVariable> Variables;
};

}  // namespace rulecalc::cli
