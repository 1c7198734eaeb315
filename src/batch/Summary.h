#pragma once

#include <cstdint>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "batch/calc/Evaluation.h"

namespace rulecalc::batch {

// How often one place of a rule's sentence fell back in the same way, and
// the first row where it did.
struct SNoteTally {
  std::int32_t Position = 0;   // with Kind, which note this is
  ENoteKind Kind = ENoteKind::NotANumber;
  std::uint64_t Rows = 0;
  std::uint64_t FirstRow = 0;
  std::string Message;         // GBK, of the first row: "TODATE could not read APPLIED"
  std::string Value;           // the value it had there
  std::string Reason;          // "expected m/d/y with '/'"
};

// "12 rows, TODATE could not read APPLIED, e.g. row 7 '2024-01-05': expected
// m/d/y with '/'" (GBK, on one line): the note as the summaries show it.
std::string DescribeNoteTally(const SNoteTally& note);

// How often one rule held, failed, or stopped with an error, and how often
// each explanation came. A part of the rows (a chunk, a block) counts every
// explanation it meets; the run's tally takes the parts in order and keeps
// the first kMaxExplanations different ones in the order they first came
// (the rest are only counted, so memory stays bounded), which makes the
// totals the same however the rows were cut into parts.
struct SRuleTally {
  static constexpr std::size_t kMaxExplanations = 1000;
  using TExplanations = std::map<std::string, std::uint64_t>;

  std::uint64_t Held = 0;
  std::uint64_t Failed = 0;
  std::uint64_t Errors = 0;
  TExplanations Explanations;  // GBK text of failures and errors
  std::vector<TExplanations::const_iterator> FirstCame;  // Explanations in the order they first came
  std::uint64_t OtherExplanations = 0;
  std::vector<SNoteTally> Notes;  // by first row (a place of the sentence is bounded: no cap)

  SRuleTally() = default;
  SRuleTally(const SRuleTally& other) { *this = other; }
  SRuleTally& operator=(const SRuleTally& other);
  SRuleTally(SRuleTally&&) = default;
  SRuleTally& operator=(SRuleTally&&) = default;

  // Counts the verdict of a row and the notes of its run.
  void Count(const SEvaluation& evaluation, std::uint64_t row = 0);
  // Counts rows more of a note; the first row and its example stay the earliest.
  void CountNote(const SNoteTally& note);
  // Adds a later part; explanations beyond cap different ones are only counted.
  void Add(const SRuleTally& later, std::size_t cap = kMaxExplanations);
  std::uint64_t NotHeld() const { return Failed + Errors; }
  // The count most common explanations, most common first.
  std::vector<std::pair<std::string, std::uint64_t>> MostCommon(std::size_t count) const;
  // Counts an explanation times (an explanation beyond cap different ones only as other).
  void CountExplanation(const std::string& text, std::uint64_t times, std::size_t cap);
};

// A threshold of the run against the rows: what counted against it and
// whether it was crossed.
struct SThresholdCheck {
  std::string GbkSetting;            // as it was set: "--max-failed income=1%", "@max-failed income 1%", "--fail-on error"
  std::optional<std::size_t> Rule;   // the rule of a --max-failed or @max-failed
  std::string Limit;                 // "1%", "5"; for --fail-on its level, "error" or "failed"
  bool CountsErrors = false;         // --fail-on error: error verdicts count, else false ones
  std::uint64_t Found = 0;           // the verdicts that counted
  std::uint64_t Of = 0;              // the verdicts they were among (a rule's: its rows)
  bool Crossed = false;
};

// What a run found before its first row that every report shows beside the
// verdicts: the analyser's warnings on a rule, and what was said about a
// column's type or name.
enum class EMProblemKind { Warning, Column };

struct SProblem {
  EMProblemKind Kind = EMProblemKind::Warning;
  std::optional<std::size_t> Rule;  // the rule a warning is about
  std::string GbkText;              // as standard error shows it, on one line or more, ending in a line break
};

// "warning" or "column": the kind as the reports name it.
const char* ProblemKindWord(EMProblemKind kind);

// The totals of a batch run, rule by rule in the order of the rules file.
struct SBatchSummary {
  std::vector<SRuleTally> Tallies;
  std::vector<std::string> AnalysisErrors;  // GBK message per rule; empty when the rule analysed
  std::uint64_t RowsEvaluated = 0;
  std::uint64_t RowsSkipped = 0;
  std::uint64_t VerdictsShown = 0;    // verdict lines in the report
  std::uint64_t VerdictsLeftOut = 0;  // beyond the report's cap (HTML)
  std::vector<SThresholdCheck> Thresholds;  // in the order set: --fail-on, then the rules' limits
  std::vector<SProblem> Problems;           // columns first, then the rules' warnings in file order

  bool AnyThresholdCrossed() const;

  bool AnyRuleError() const;
  // Rule indexes by verdicts that did not hold, most first (file order among equals).
  std::vector<std::size_t> RulesByFailures() const;
};

}  // namespace rulecalc::batch
