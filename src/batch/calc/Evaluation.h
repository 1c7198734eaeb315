#pragma once

#include <string>
#include <vector>

#include "analyser/AnalysisWarning.h"
#include "boundary/RuleCalc.h"
#include "vm/RunNotes.h"
#include "batch/calc/FailurePoint.h"
#include "batch/calc/Variable.h"


namespace rulecalc::batch {

enum class EMOutcome {
  Held,           // the sentence holds
  Failed,         // the sentence does not hold; Text explains why (may be empty)
  AnalysisError,  // the sentence did not analyse; Text is the message
  RunError,       // the run stopped; Text is the message
};

// What became of one sentence. Texts are GBK, as the library gives them.
struct SEvaluation {
  EMOutcome Outcome = EMOutcome::Held;
  std::string Text;
  SFailurePoint StoppedAt;  // where analysis stopped, for AnalysisError
  std::vector<SAnalysisWarning> Warnings;  // where an analysed sentence mixes types
  std::vector<SRunNote> Notes;  // where the run fell back
};

// How far to go with a sentence.
enum class EMStep { AnalyseOnly, AnalyseAndRun };

// Evaluates one sentence on a calculator of its own state: clears it (so no
// explanation carries over from an earlier sentence), sets the variables,
// analyses and, if asked, runs (with the notes of the run when calc takes
// them). AnalyseOnly answers Held when the sentence analyses.
SEvaluation Evaluate(TRuleCalc& calc, const std::string& gbkSentence, const std::vector<SVariable>& variables,
                     EMStep step);

}  // namespace rulecalc::batch
