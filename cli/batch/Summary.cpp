#include "batch/Summary.h"

namespace rulecalc::cli {

void SRuleTally::Count(EMOutcome outcome) {
  switch (outcome) {
    case EMOutcome::Held:
      ++Held;
      break;
    case EMOutcome::Failed:
      ++Failed;
      break;
    case EMOutcome::AnalysisError:
    case EMOutcome::RunError:
      ++Errors;
      break;
  }
}

void SRuleTally::Add(const SRuleTally& other) {
  Held += other.Held;
  Failed += other.Failed;
  Errors += other.Errors;
}

bool SBatchSummary::AnyRuleError() const {
  for (const std::string& error : AnalysisErrors) {
    if (!error.empty()) return true;
  }
  for (const SRuleTally& tally : Tallies) {
    if (tally.Errors > 0) return true;
  }
  return false;
}

}  // namespace rulecalc::cli
