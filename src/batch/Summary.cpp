#include "batch/Summary.h"

#include <algorithm>
#include <numeric>

namespace rulecalc::cli {

void SRuleTally::Count(const SEvaluation& evaluation) {
  switch (evaluation.Outcome) {
    case EMOutcome::Held:
      ++Held;
      return;
    case EMOutcome::Failed:
      ++Failed;
      break;
    case EMOutcome::AnalysisError:
    case EMOutcome::RunError:
      ++Errors;
      break;
  }
  CountExplanation(evaluation.Text, 1);
}

void SRuleTally::CountExplanation(const std::string& text, std::uint64_t times) {
  const auto known = Explanations.find(text);
  if (known != Explanations.end()) {
    known->second += times;
  } else if (Explanations.size() < kMaxExplanations) {
    Explanations.emplace(text, times);
  } else {
    OtherExplanations += times;
  }
}

void SRuleTally::Add(const SRuleTally& other) {
  Held += other.Held;
  Failed += other.Failed;
  Errors += other.Errors;
  OtherExplanations += other.OtherExplanations;
  for (const auto& [text, times] : other.Explanations) CountExplanation(text, times);
}

std::vector<std::pair<std::string, std::uint64_t>> SRuleTally::MostCommon(std::size_t count) const {
  std::vector<std::pair<std::string, std::uint64_t>> common(Explanations.begin(), Explanations.end());
  std::stable_sort(common.begin(), common.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  if (common.size() > count) common.resize(count);
  return common;
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

std::vector<std::size_t> SBatchSummary::RulesByFailures() const {
  std::vector<std::size_t> order(Tallies.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [this](std::size_t a, std::size_t b) { return Tallies[a].NotHeld() > Tallies[b].NotHeld(); });
  return order;
}

}  // namespace rulecalc::cli
