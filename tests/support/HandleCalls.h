#pragma once

// A handle in the shape of the C++ instance class, so that the answer
// collector of RuleAnswers.h drives handles the same way as the flat exports
// and instances. Header-only and free of GoogleTest.

#include <cstdint>

#include "rulecalc.h"

namespace rulecalc::testing {

class THandleCalls {
 public:
  THandleCalls() : Handle(rulecalc_open()) {}
  ~THandleCalls() { rulecalc_close(Handle); }
  THandleCalls(const THandleCalls&) = delete;
  THandleCalls& operator=(const THandleCalls&) = delete;

  void SetSentence(const char* s) noexcept { rulecalc_set_sentence(Handle, s); }
  const char* GetTokens() noexcept { return rulecalc_tokens(Handle, nullptr); }
  const char* GetNumbers() noexcept { return rulecalc_numbers(Handle, nullptr); }
  const char* GetVarnames() noexcept { return rulecalc_varnames(Handle, nullptr); }
  void ClearMemory() noexcept { rulecalc_clear(Handle); }
  void SetVarValue(const char* n, const char* v, std::int32_t t) noexcept { rulecalc_set_variable(Handle, n, v, t); }
  bool Analyse() noexcept { return rulecalc_analyse(Handle) == 1; }
  const char* GetAnalyseError() noexcept { return rulecalc_analyse_error(Handle, nullptr); }
  bool Run() noexcept {
    LastStatus = rulecalc_run(Handle);
    return LastStatus == RULECALC_HELD;
  }
  const char* GetRuntimeError() noexcept { return rulecalc_runtime_error(Handle, nullptr); }

  rulecalc_handle* const Handle;
  rulecalc_status LastStatus = RULECALC_HELD;
};

}  // namespace rulecalc::testing
