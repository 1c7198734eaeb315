#pragma once

#include <cstddef>

#include "boundary/RuleCalc.h"

namespace rulecalc::batch {

// A stretch of the sentence in GBK bytes.
struct SFailurePoint {
  std::size_t Offset = 0;
  std::size_t Length = 0;  // 0 at the end of the sentence
};

// Where the analyser of calc stopped: its tokeniser's current token, or the
// end of the sentence when it ran out of tokens.
SFailurePoint AnalysisStoppedAt(const TRuleCalc& calc);

}  // namespace rulecalc::batch
