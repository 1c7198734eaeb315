// The ten flat exports. They act on one global calculator, created when the
// library is loaded and destroyed when it is unloaded.

#include "rulecalc.h"

#include "boundary/RuleCalc.h"

namespace {

rulecalc::TRuleCalc GlobalRuleCalc;

}  // namespace

extern "C" {

RULECALC_API void RULECALC_STDCALL SetSentence(const char* sentence) { GlobalRuleCalc.SetSentence(sentence); }

RULECALC_API const char* GetTokens(void) { return GlobalRuleCalc.GetTokens(); }

RULECALC_API const char* GetNumbers(void) { return GlobalRuleCalc.GetNumbers(); }

RULECALC_API const char* GetVarnames(void) { return GlobalRuleCalc.GetVarnames(); }

RULECALC_API void ClearMemory(void) { GlobalRuleCalc.ClearMemory(); }

RULECALC_API void RULECALC_STDCALL SetVarValue(const char* name, const char* value, int32_t type) {
  GlobalRuleCalc.SetVarValue(name, value, type);
}

RULECALC_API bool Analyse(void) { return GlobalRuleCalc.Analyse(); }

RULECALC_API const char* GetAnalyseError(void) { return GlobalRuleCalc.GetAnalyseError(); }

RULECALC_API bool Run(void) { return GlobalRuleCalc.Run(); }

RULECALC_API const char* GetRuntimeError(void) { return GlobalRuleCalc.GetRuntimeError(); }

}  // extern "C"
