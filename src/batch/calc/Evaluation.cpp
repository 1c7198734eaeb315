#include "batch/calc/Evaluation.h"

#include "batch/calc/RunErrors.h"

namespace rulecalc::batch {

SEvaluation Evaluate(TRuleCalc& calc, const std::string& gbkSentence, const std::vector<SVariable>& variables,
                     EMStep step) {
  calc.ClearMemory();
  for (const SVariable& variable : variables) {
    calc.SetVarValue(variable.Name.c_str(), variable.Value.c_str(), variable.Type);
  }
  calc.SetSentence(gbkSentence.c_str());
  if (!calc.Analyse()) {
    return SEvaluation{EMOutcome::AnalysisError, calc.GetAnalyseError(), AnalysisStoppedAt(calc), {}, {}};
  }
  if (step == EMStep::AnalyseOnly) return SEvaluation{EMOutcome::Held, {}, {}, calc.Warnings(), {}};
  if (calc.Run()) return SEvaluation{EMOutcome::Held, {}, {}, {}, calc.Machine.Notes};
  std::string text = calc.GetRuntimeError();
  const EMOutcome outcome = IsRunError(text) ? EMOutcome::RunError : EMOutcome::Failed;
  return SEvaluation{outcome, std::move(text), {}, {}, calc.Machine.Notes};
}

}  // namespace rulecalc::batch
