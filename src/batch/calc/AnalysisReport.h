#pragma once

#include <cstdint>
#include <string>

#include "batch/calc/Evaluation.h"
#include "batch/calc/FailurePoint.h"
#include "batch/text/TextCodec.h"


namespace rulecalc::batch {

// The message of a failed analysis, then the sentence's line and a caret
// under the token where the analyser stopped, in the outside encoding:
//   analysis error: 表达式后必须跟比较运算符!
//     IF AGE>=18 THEN SCORE;
//                          ^
std::string DescribeAnalysisError(const std::string& gbkSentence, const SEvaluation& evaluation,
                                  TTextCodec& codec);

// A warning of the analysis in the same form: "warning: " and its message,
// the sentence's line and a caret under the place it names.
std::string DescribeWarning(const std::string& gbkSentence, const SAnalysisWarning& warning, TTextCodec& codec);

// Anything else said about a place of the sentence, in the same form: the
// message, the sentence's line and carets under the place.
std::string DescribePlace(const std::string& gbkSentence, const std::string& gbkMessage, SFailurePoint point,
                          TTextCodec& codec);

// A note of a run in the same form: its text, the sentence's line and
// carets under the length bytes at position.
std::string DescribeNote(const std::string& gbkSentence, const std::string& gbkNote, std::int32_t position,
                         std::size_t length, TTextCodec& codec);

// Every warning of an evaluation, described one after the other.
std::string DescribeWarnings(const std::string& gbkSentence, const SEvaluation& evaluation, TTextCodec& codec);

}  // namespace rulecalc::batch
