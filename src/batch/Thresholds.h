#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "batch/Summary.h"

namespace rulecalc::batch {

// How many of its rows a rule may fail: a count, or a percentage of the
// rows it was evaluated on.
struct SFailedLimit {
  std::string Written;     // "5", "1%", "0.25%"
  bool Percent = false;
  std::uint64_t Value = 0; // the count, or the percentage in millionths of the rows
};

// Reads "N" or "P%" (P from 0 to 100, up to four decimals); throws
// TUsageError "<what>: ..." for anything else.
SFailedLimit ReadFailedLimit(const std::string& written, const std::string& what);

// What makes a run fail as a whole.
enum class EMFailOn { Never, Error, Failed };

// One threshold of a run: a --fail-on level, or a limit on one rule's
// failed rows.
struct SThreshold {
  std::string GbkSetting;  // as it was set: "--fail-on failed", "--max-failed income=1%", "@max-failed income 1%"
  EMFailOn FailOn = EMFailOn::Never;  // Never for a rule's limit
  std::size_t Rule = 0;
  SFailedLimit Limit;
};

// Each threshold against the run's tallies, in the order given.
std::vector<SThresholdCheck> CheckThresholds(const std::vector<SThreshold>& thresholds, const SBatchSummary& summary);

// What the rows made of a threshold, for people: "3 of 100 rows failed".
std::string ThresholdFinding(const SThresholdCheck& check);

}  // namespace rulecalc::batch
