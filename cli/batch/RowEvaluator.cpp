#include "batch/RowEvaluator.h"

namespace rulecalc::cli {

TRowEvaluator::TRowEvaluator(const std::vector<SColumn>& columns) {
  for (const SColumn& column : columns) Variables.push_back(SVariable{column.GbkName, "", column.Type});
}

SEvaluation TRowEvaluator::Evaluate(const SRule& rule, const std::vector<std::string>& gbkValues) {
  for (std::size_t i = 0; i < Variables.size(); ++i) Variables[i].Value = gbkValues[i];
  return cli::Evaluate(Calc, rule.GbkSentence, Variables, EMStep::AnalyseAndRun);
}

SEvaluation TRowEvaluator::Check(const SRule& rule) {
  for (SVariable& variable : Variables) variable.Value.clear();
  return cli::Evaluate(Calc, rule.GbkSentence, Variables, EMStep::AnalyseOnly);
}

}  // namespace rulecalc::cli
