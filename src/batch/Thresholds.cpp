#include "batch/Thresholds.h"

#include <cctype>

#include "batch/Failures.h"

namespace rulecalc::batch {

namespace {

// A 128-bit product of two 64-bit numbers, exact on every target (32-bit
// ones have no 128-bit integers).
struct SWide {
  std::uint64_t High;
  std::uint64_t Low;
  bool operator>(const SWide& other) const { return High != other.High ? High > other.High : Low > other.Low; }
};

SWide Product(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t aLow = a & 0xFFFFFFFFu, aHigh = a >> 32, bLow = b & 0xFFFFFFFFu, bHigh = b >> 32;
  const std::uint64_t low = aLow * bLow, middleOne = aHigh * bLow, middleTwo = aLow * bHigh;
  const std::uint64_t carry = ((low >> 32) + (middleOne & 0xFFFFFFFFu) + (middleTwo & 0xFFFFFFFFu)) >> 32;
  return {aHigh * bHigh + (middleOne >> 32) + (middleTwo >> 32) + carry, a * b};
}

constexpr std::uint64_t kMillionths = 1000000;  // of the rows: 100%
constexpr std::size_t kDecimals = 4;

bool AllDigits(const std::string& text) {
  if (text.empty() || text.size() > 18) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// "0.25" as millionths of the rows (2500), or none when it is no percentage.
bool ReadPercentage(const std::string& number, std::uint64_t& millionths) {
  const std::size_t point = number.find('.');
  const std::string whole = number.substr(0, point);
  std::string decimals = point == std::string::npos ? "" : number.substr(point + 1);
  if (!AllDigits(whole) || (point != std::string::npos && !AllDigits(decimals)) || decimals.size() > kDecimals) {
    return false;
  }
  decimals.append(kDecimals - decimals.size(), '0');
  millionths = std::stoull(whole) * 10000 + std::stoull(decimals);
  return millionths <= kMillionths;
}

std::uint64_t VerdictsOf(const SRuleTally& tally) { return tally.Held + tally.Failed + tally.Errors; }

SThresholdCheck FailOnCheck(const SThreshold& threshold, const SBatchSummary& summary) {
  SThresholdCheck check;
  check.GbkSetting = threshold.GbkSetting;
  check.Limit = threshold.FailOn == EMFailOn::Error ? "error" : "failed";
  check.CountsErrors = threshold.FailOn == EMFailOn::Error;
  for (const SRuleTally& tally : summary.Tallies) {
    check.Found += check.CountsErrors ? tally.Errors : tally.Failed;
    check.Of += VerdictsOf(tally);
  }
  check.Crossed = check.Found > 0;
  return check;
}

SThresholdCheck RuleCheck(const SThreshold& threshold, const SBatchSummary& summary) {
  const SRuleTally& tally = summary.Tallies[threshold.Rule];
  SThresholdCheck check;
  check.GbkSetting = threshold.GbkSetting;
  check.Rule = threshold.Rule;
  check.Limit = threshold.Limit.Written;
  check.Found = tally.Failed;
  check.Of = VerdictsOf(tally);
  const SFailedLimit& limit = threshold.Limit;
  check.Crossed = limit.Percent ? Product(check.Found, kMillionths) > Product(limit.Value, check.Of)
                                : check.Found > limit.Value;
  return check;
}

}  // namespace

SFailedLimit ReadFailedLimit(const std::string& written, const std::string& what) {
  SFailedLimit limit;
  limit.Written = written;
  limit.Percent = !written.empty() && written.back() == '%';
  const std::string number = limit.Percent ? written.substr(0, written.size() - 1) : written;
  const bool read = limit.Percent ? ReadPercentage(number, limit.Value) : AllDigits(number);
  if (!read) {
    throw TUsageError(what + ": '" + written + "' is neither a number of rows nor a percentage from 0% to 100%");
  }
  if (!limit.Percent) limit.Value = std::stoull(number);
  return limit;
}

std::vector<SThresholdCheck> CheckThresholds(const std::vector<SThreshold>& thresholds, const SBatchSummary& summary) {
  std::vector<SThresholdCheck> checks;
  for (const SThreshold& threshold : thresholds) {
    checks.push_back(threshold.FailOn == EMFailOn::Never ? RuleCheck(threshold, summary) : FailOnCheck(threshold, summary));
  }
  return checks;
}

std::string ThresholdFinding(const SThresholdCheck& check) {
  const std::string counted = std::to_string(check.Found) + " of " + std::to_string(check.Of);
  if (check.Rule) return counted + " rows failed";
  return counted + " verdicts were " + (check.CountsErrors ? "errors" : "false");
}

}  // namespace rulecalc::batch
