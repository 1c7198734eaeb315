#include "batch/calc/FailurePoint.h"

namespace rulecalc::batch {

SFailurePoint AnalysisStoppedAt(const TRuleCalc& calc) {
  const SSentenceSpan stop = calc.AnalysisStop();
  return SFailurePoint{stop.Offset, stop.Length};
}

}  // namespace rulecalc::batch
