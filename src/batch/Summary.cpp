#include "batch/Summary.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

#include "batch/text/OneLine.h"

namespace rulecalc::batch {

void SRuleTally::Count(const SEvaluation& evaluation, std::uint64_t row) {
  for (const SRunNote& note : evaluation.Notes)
    CountNote(SNoteTally{note.Position, note.Kind, 1, row, note.Message, note.Value, note.Reason});
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
  CountExplanation(evaluation.Text, 1, SIZE_MAX);
}

std::string DescribeNoteTally(const SNoteTally& note) {
  const std::string rows = std::to_string(note.Rows) + (note.Rows == 1 ? " row, " : " rows, ");
  return rows + OneLine(note.Message) + (note.Rows > 1 ? ", e.g. row " : ", row ") + std::to_string(note.FirstRow) +
         " '" + OneLine(note.Value) + "': " + note.Reason;
}

void SRuleTally::CountNote(const SNoteTally& note) {
  const auto known = std::find_if(Notes.begin(), Notes.end(), [&note](const SNoteTally& n) {
    return n.Position == note.Position && n.Kind == note.Kind;
  });
  if (known == Notes.end()) {
    const auto later = std::find_if(Notes.begin(), Notes.end(), [&note](const SNoteTally& n) {
      return n.FirstRow > note.FirstRow;
    });
    Notes.insert(later, note);
    return;
  }
  known->Rows += note.Rows;
  if (note.FirstRow < known->FirstRow) {
    const std::uint64_t rows = known->Rows;
    *known = note;
    known->Rows = rows;
  }
}

SRuleTally& SRuleTally::operator=(const SRuleTally& other) {
  if (this == &other) return *this;
  Notes = other.Notes;
  Held = other.Held;
  Failed = other.Failed;
  Errors = other.Errors;
  OtherExplanations = other.OtherExplanations;
  Explanations.clear();
  FirstCame.clear();
  for (const auto& explanation : other.FirstCame) CountExplanation(explanation->first, explanation->second, SIZE_MAX);
  return *this;
}

void SRuleTally::CountExplanation(const std::string& text, std::uint64_t times, std::size_t cap) {
  const auto known = Explanations.find(text);
  if (known != Explanations.end()) {
    known->second += times;
  } else if (Explanations.size() < cap) {
    FirstCame.push_back(Explanations.emplace(text, times).first);
  } else {
    OtherExplanations += times;
  }
}

void SRuleTally::Add(const SRuleTally& later, std::size_t cap) {
  Held += later.Held;
  Failed += later.Failed;
  Errors += later.Errors;
  OtherExplanations += later.OtherExplanations;
  for (const auto& explanation : later.FirstCame) CountExplanation(explanation->first, explanation->second, cap);
  for (const SNoteTally& note : later.Notes) CountNote(note);
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

const char* ProblemKindWord(EMProblemKind kind) { return kind == EMProblemKind::Warning ? "warning" : "column"; }

bool SBatchSummary::AnyThresholdCrossed() const {
  for (const SThresholdCheck& check : Thresholds) {
    if (check.Crossed) return true;
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

}  // namespace rulecalc::batch
