#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "batch/calc/Evaluation.h"

namespace rulecalc::cli {

// How often one rule held, failed, or stopped with an error, and how often
// each explanation came (the first kMaxExplanations different ones; the
// rest are only counted, so memory stays bounded).
struct SRuleTally {
  static constexpr std::size_t kMaxExplanations = 1000;

  std::uint64_t Held = 0;
  std::uint64_t Failed = 0;
  std::uint64_t Errors = 0;
  std::map<std::string, std::uint64_t> Explanations;  // GBK text of failures and errors
  std::uint64_t OtherExplanations = 0;

  void Count(const SEvaluation& evaluation);
  void Add(const SRuleTally& other);
  std::uint64_t NotHeld() const { return Failed + Errors; }
  // The count most common explanations, most common first.
  std::vector<std::pair<std::string, std::uint64_t>> MostCommon(std::size_t count) const;

 private:
  void CountExplanation(const std::string& text, std::uint64_t times);
};

// The totals of a batch run, rule by rule in the order of the rules file.
struct SBatchSummary {
  std::vector<SRuleTally> Tallies;
  std::vector<std::string> AnalysisErrors;  // GBK message per rule; empty when the rule analysed
  std::uint64_t RowsEvaluated = 0;
  std::uint64_t RowsSkipped = 0;
  std::uint64_t VerdictsShown = 0;    // verdict lines in the report
  std::uint64_t VerdictsLeftOut = 0;  // beyond the report's cap (HTML)

  bool AnyRuleError() const;
  // Rule indexes by verdicts that did not hold, most first (file order among equals).
  std::vector<std::size_t> RulesByFailures() const;
};

}  // namespace rulecalc::cli
