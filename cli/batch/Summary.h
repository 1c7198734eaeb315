#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "calc/Evaluation.h"

namespace rulecalc::cli {

// How often one rule held, failed, or stopped with a run-time error.
struct SRuleTally {
  std::uint64_t Held = 0;
  std::uint64_t Failed = 0;
  std::uint64_t Errors = 0;

  void Count(EMOutcome outcome);
  void Add(const SRuleTally& other);
};

// The totals of a batch run, rule by rule in the order of the rules file.
struct SBatchSummary {
  std::vector<SRuleTally> Tallies;
  std::vector<std::string> AnalysisErrors;  // GBK message per rule; empty when the rule analysed
  std::uint64_t RowsEvaluated = 0;
  std::uint64_t RowsSkipped = 0;

  bool AnyRuleError() const;
};

}  // namespace rulecalc::cli
