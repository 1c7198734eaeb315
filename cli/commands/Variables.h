#pragma once

#include <string>
#include <vector>

#include "batch/calc/Evaluation.h"
#include "batch/calc/Variable.h"
#include "batch/text/TextCodec.h"

namespace rulecalc::cli {

// The variables written as NAME=VALUE arguments, in GBK. A value without a
// type suffix is numeric when it is empty or reads as a number, else text.
std::vector<SVariable> VariablesFromArguments(const std::vector<std::string>& arguments, TTextCodec& codec,
                                              char decimalSeparator);

// A sentence and its NAME=VALUE variables as typed for eval and check.
struct SSentenceArguments {
  std::string Sentence;
  std::vector<std::string> Assignments;
};

// The sentence in GBK and what became of it.
struct SArgumentsEvaluation {
  std::string GbkSentence;
  SEvaluation Evaluation;
};

// Converts the sentence and the variables to GBK and evaluates them on a
// calculator of their own, as far as step says.
SArgumentsEvaluation EvaluateArguments(const SSentenceArguments& arguments, TTextCodec& codec, EMStep step);

}  // namespace rulecalc::cli
