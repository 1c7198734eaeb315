#pragma once

namespace rulecalc::cli {

// What the tool's exit status tells the shell.
enum EMExitStatus : int {
  esHeld = 0,           // the sentence holds (batch: everything ran and analysed)
  esFailed = 1,         // the sentence does not hold
  esRuleError = 2,      // analysis or run-time error (batch: a rule did not analyse or a run failed)
  esUsageError = 64,    // bad arguments, unreadable files, malformed input files
};

}  // namespace rulecalc::cli
