// The handle functions: each handle is one independent calculator. None of
// them throws; a null handle gives the empty answer of its function.

#include <new>
#include <string>

#include "boundary/Listings.h"
#include "boundary/RuleCalc.h"
#include "rulecalc.h"

struct rulecalc::Handle {
  TRuleCalc Calc;
  std::string Listing;  // the last listing returned
};

namespace {

using rulecalc::Handle;

const char* Answer(const std::string& text, size_t* length) {
  if (length != nullptr) *length = text.size();
  return text.c_str();
}

const char* EmptyAnswer(size_t* length) {
  if (length != nullptr) *length = 0;
  return "";
}

// Keeps the listing in the handle; when memory runs out the answer is "".
template <typename MakeListing>
const char* ListingAnswer(Handle* calc, size_t* length, MakeListing makeListing) {
  if (calc == nullptr) return EmptyAnswer(length);
  try {
    calc->Listing = makeListing(calc->Calc.Tokeniser);
  } catch (...) {
    calc->Listing.clear();
  }
  return Answer(calc->Listing, length);
}

}  // namespace

extern "C" {

RULECALC_API const char* RULECALC_CDECL rulecalc_version(void) { return RULECALC_VERSION_STRING; }

RULECALC_API Handle* RULECALC_CDECL rulecalc_open(void) {
  try {
    return new Handle;
  } catch (...) {
    return nullptr;
  }
}

RULECALC_API void RULECALC_CDECL rulecalc_close(Handle* calc) { delete calc; }

RULECALC_API void RULECALC_CDECL rulecalc_set_sentence(Handle* calc, const char* sentence) {
  if (calc != nullptr) calc->Calc.SetSentence(sentence);
}

RULECALC_API const char* RULECALC_CDECL rulecalc_tokens(Handle* calc, size_t* length) {
  return ListingAnswer(calc, length, rulecalc::TokenListing);
}

RULECALC_API const char* RULECALC_CDECL rulecalc_numbers(Handle* calc, size_t* length) {
  return ListingAnswer(calc, length, rulecalc::NumberListing);
}

RULECALC_API const char* RULECALC_CDECL rulecalc_varnames(Handle* calc, size_t* length) {
  return ListingAnswer(calc, length, rulecalc::VarnameListing);
}

RULECALC_API void RULECALC_CDECL rulecalc_clear(Handle* calc) {
  if (calc != nullptr) calc->Calc.ClearMemory();
}

RULECALC_API void RULECALC_CDECL rulecalc_set_variable(Handle* calc, const char* name, const char* value,
                                                       int32_t type) {
  if (calc != nullptr) calc->Calc.SetVarValue(name, value, type);
}

RULECALC_API int RULECALC_CDECL rulecalc_analyse(Handle* calc) {
  return calc != nullptr && calc->Calc.Analyse() ? 1 : 0;
}

RULECALC_API const char* RULECALC_CDECL rulecalc_analyse_error(Handle* calc, size_t* length) {
  return calc == nullptr ? EmptyAnswer(length) : Answer(calc->Calc.Analysor.AnalyseError, length);
}

RULECALC_API rulecalc_status RULECALC_CDECL rulecalc_run(Handle* calc) {
  if (calc == nullptr) return RULECALC_RUNTIME_ERROR;
  switch (calc->Calc.RunForStatus()) {
    case rulecalc::ERunStatus::Held: return RULECALC_HELD;
    case rulecalc::ERunStatus::Failed: return RULECALC_FAILED;
    default: return RULECALC_RUNTIME_ERROR;
  }
}

RULECALC_API const char* RULECALC_CDECL rulecalc_runtime_error(Handle* calc, size_t* length) {
  return calc == nullptr ? EmptyAnswer(length) : Answer(calc->Calc.Machine.RuntimeError, length);
}

RULECALC_API int RULECALC_CDECL rulecalc_set_date_order(Handle* calc, rulecalc_date_order order) {
  if (calc == nullptr || order < RULECALC_DATE_MDY || order > RULECALC_DATE_YMD) return -1;
  return calc->Calc.SetDateOrder(static_cast<rulecalc::EDateOrder>(order)) ? 0 : -1;
}

RULECALC_API int RULECALC_CDECL rulecalc_set_date_separator(Handle* calc, char separator) {
  return calc != nullptr && calc->Calc.SetDateSeparator(separator) ? 0 : -1;
}

RULECALC_API int RULECALC_CDECL rulecalc_set_current_year(Handle* calc, int year) {
  return calc != nullptr && calc->Calc.SetCurrentYear(year) ? 0 : -1;
}

RULECALC_API size_t RULECALC_CDECL rulecalc_warning_count(Handle* calc) {
  return calc == nullptr ? 0 : calc->Calc.Warnings().size();
}

RULECALC_API const char* RULECALC_CDECL rulecalc_warning(Handle* calc, size_t index, int32_t* position,
                                                         size_t* length) {
  if (calc == nullptr || index >= calc->Calc.Warnings().size()) return nullptr;
  const rulecalc::SAnalysisWarning& warning = calc->Calc.Warnings()[index];
  if (position != nullptr) *position = warning.Position;
  return Answer(warning.Message, length);
}

}  // extern "C"
