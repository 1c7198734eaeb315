#pragma once

#include <string>

#include "calc/Evaluation.h"
#include "text/TextCodec.h"

namespace rulecalc::cli {

// The message of a failed analysis, then the sentence's line and a caret
// under the token where the analyser stopped, in the outside encoding:
//   analysis error: 表达式后必须跟比较运算符!
//     IF AGE>=18 THEN SCORE;
//                          ^
std::string DescribeAnalysisError(const std::string& gbkSentence, const SEvaluation& evaluation,
                                  TTextCodec& codec);

}  // namespace rulecalc::cli
