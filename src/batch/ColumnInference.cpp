#include "batch/ColumnInference.h"

#include <utility>

#include "batch/calc/ValueKind.h"

namespace rulecalc::batch {

namespace {

constexpr std::size_t kExamples = 3;

}  // namespace

void SColumnEvidence::Append(const SColumnEvidence& later, std::uint64_t rowsBefore) {
  Numbers += later.Numbers;
  Texts += later.Texts;
  for (const auto& [row, value] : later.FirstTexts) {
    if (FirstTexts.size() == kExamples) break;
    FirstTexts.emplace_back(row + rowsBefore, value);
  }
}

void ObserveRow(const std::vector<std::string>& gbkValues, std::uint64_t row, std::vector<SColumn>& columns,
                std::vector<SColumnEvidence>& evidence, const TNullTexts& nulls, char decimalSeparator) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    SColumn& column = columns[i];
    if (column.Declared || nulls.Means(gbkValues[i])) continue;
    SColumnEvidence& seen = evidence[i];
    if (InferValueType(gbkValues[i], decimalSeparator) == vtNumber) {
      ++seen.Numbers;
      continue;
    }
    column.Type = vtText;
    if (++seen.Texts <= kExamples) seen.FirstTexts.emplace_back(row, gbkValues[i]);
  }
}

std::vector<std::string> MixedColumnsNotices(const std::vector<SColumn>& columns,
                                             const std::vector<SColumnEvidence>& evidence, const std::string& dataPath,
                                             TTextCodec& output) {
  std::vector<std::string> notices;
  for (std::size_t i = 0; i < columns.size() && i < evidence.size(); ++i) {
    const SColumnEvidence& seen = evidence[i];
    if (columns[i].Declared || seen.Texts == 0 || seen.Texts >= seen.Numbers) continue;
    const std::string& name = columns[i].Name;
    std::string notice = dataPath + ": column " + name + " is read as text because " +
              std::to_string(seen.Texts) + " of its " + std::to_string(seen.Texts + seen.Numbers) +
              " values are not numbers:";
    for (const auto& [row, value] : seen.FirstTexts) notice += " row " + std::to_string(row) + " \"" + output.FromGbkShowingControls(value) + "\"";
    if (seen.Texts > seen.FirstTexts.size()) notice += " ...";
    notice += "\n  declare it as " + name + ":num in the header (such values are then errors for their row only)";
    notice += ", or name the texts that mean empty with --null-values\n";
    notices.push_back(std::move(notice));
  }
  return notices;
}

}  // namespace rulecalc::batch
