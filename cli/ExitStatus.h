#pragma once

namespace rulecalc::cli {

// What the tool's exit status tells the shell.
enum EMExitStatus : int {
  esHeld = 0,           // the sentence holds (batch: everything ran and analysed; test: every expectation held)
  esFailed = 1,         // the sentence does not hold (batch: a threshold was crossed; test: an expectation
                        // did not hold)
  esRuleError = 2,      // analysis or run-time error (batch: a rule did not analyse, a verdict was an
                        // error or a variable has no column; check --rules: a rule cannot run; test: a rule
                        // expected of cannot run)
  esNoRows = 3,         // batch: no row could be evaluated (all skipped, or none at all); test: no row
                        // expects anything
  esUsageError = 64,    // bad arguments, unreadable files, malformed input files, output = input
  esOutOfMemory = 71,   // memory (or a thread) ran out; an --output file is left as it was
  esOutputError = 74,   // the output could not be written (full disk, closed pipe)
  // An interrupted batch (SIGINT, SIGTERM, SIGHUP) ends as the signal does: 128 + its number.
};

}  // namespace rulecalc::cli
