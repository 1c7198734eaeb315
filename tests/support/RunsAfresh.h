#pragma once

// An instance run as a handle runs: every run from a clean machine. Its
// answers are the ones a handle must give where the flat exports' Run keeps
// what the run before left. Header-only and free of GoogleTest.

#include "boundary/RuleCalc.h"

namespace rulecalc::testing {

struct TRunsAfresh : TRuleCalc {
  using TRuleCalc::TRuleCalc;
  bool Run() noexcept { return RunAfresh() == ERunStatus::Held; }
};

}  // namespace rulecalc::testing
