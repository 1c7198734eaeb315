#include "batch/calc/FailurePoint.h"

namespace rulecalc::batch {

SFailurePoint AnalysisStoppedAt(const TRuleCalc& calc) {
  const TTokenAnalyser& tokeniser = calc.Tokeniser;
  const auto sentenceLength = static_cast<std::size_t>(tokeniser.SentenceLength);
  if (tokeniser.WordType == wtEnd) return SFailurePoint{sentenceLength, 0};
  const auto end = static_cast<std::size_t>(tokeniser.Position);
  const std::size_t length = tokeniser.Word.size() <= end ? tokeniser.Word.size() : end;
  return SFailurePoint{end - length, length};
}

}  // namespace rulecalc::batch
