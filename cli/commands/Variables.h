#pragma once

#include <string>
#include <vector>

#include "OutsideText.h"
#include "rulecalc.hpp"

namespace rulecalc::cli {

// One variable as the library receives it: GBK name and value, and its type.
struct SArgumentVariable {
  std::string Name;
  std::string Value;
  ValueType Type = ValueType::Number;
};

// The variables written as NAME=VALUE arguments, in GBK. A value without a
// type suffix is numeric when it is empty or reads as a number the way calc
// reads a numeric variable's value, else text.
std::vector<SArgumentVariable> VariablesFromArguments(const std::vector<std::string>& arguments, TOutsideText& texts,
                                              const Calculator& calc);

// A sentence and its NAME=VALUE variables as typed for eval and check, and
// the dates TODATE reads (empty: the locale's), as the batch's options give them.
struct SSentenceArguments {
  std::string Sentence;
  std::vector<std::string> Assignments;
  std::string DateOrder;      // "ymd", "mdy" or "dmy"
  std::string DateSeparator;  // one character
  std::string Language;       // "classic" or "extended"; empty: classic
};

enum class EMVerdict {
  Held,           // the sentence holds (check: it analyses)
  Failed,         // the sentence does not hold; Text explains why (may be empty)
  AnalysisError,  // the sentence did not analyse; Text is the message
  RunError,       // the run stopped; Text is the message
};

// What became of the sentence; texts in GBK, as the library gives them.
struct SSentenceOutcome {
  EMVerdict Outcome = EMVerdict::Held;
  std::string Text;
  SentenceSpan StoppedAt;         // where analysis stopped, for AnalysisError
  std::vector<Warning> Warnings;  // where an analysed sentence mixes types
  std::vector<Note> Notes;        // where the run fell back
};

// How far to go with a sentence. AnalyseOnly still runs an analysed
// sentence, for its notes alone: the outcome is Held whatever the run gives.
enum class EMHowFar { AnalyseOnly, AnalyseAndRun };

// The sentence in GBK and what became of it.
struct SArgumentsEvaluation {
  std::string GbkSentence;
  SSentenceOutcome Outcome;
};

// Converts the sentence and the variables to GBK and evaluates them on a
// calculator of their own, as far as step says. Throws std::bad_alloc when
// the calculator ran short of memory, as its answer would not be the rule's.
SArgumentsEvaluation EvaluateArguments(const SSentenceArguments& arguments, TOutsideText& texts, EMHowFar step);

}  // namespace rulecalc::cli
