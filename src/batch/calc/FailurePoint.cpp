#include "batch/calc/FailurePoint.h"

namespace rulecalc::cli {

SFailurePoint AnalysisStoppedAt(const TRuleCalc& calc) {
  const SSentenceSpan stop = calc.AnalysisStop();
  return SFailurePoint{stop.Offset, stop.Length};
}

}  // namespace rulecalc::cli
