// The handle functions: each handle is one independent calculator. None of
// them throws; a null handle gives the empty answer of its function.

#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "boundary/Handle.h"
#include "boundary/Listings.h"
#include "boundary/RowTexts.h"
#include "boundary/RuleCalc.h"
#include "common/Interrupt.h"
#include "rulecalc.h"
#include "vm/NumberText.h"

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

// Keeps the listing and its items in the handle; when the host stops the
// call or memory runs out the answer is "" (without items).
template <typename MakeListing>
const char* ListingAnswer(Handle* calc, size_t* length, MakeListing makeListing) {
  if (calc == nullptr) return EmptyAnswer(length);
  try {
    calc->Listing = makeListing(calc->Calc.Tokeniser, &calc->ListingItems);
  } catch (const rulecalc::SInterrupted&) {
    calc->Listing.clear();
    calc->ListingItems.clear();
  } catch (...) {
    calc->Listing.clear();
    calc->ListingItems.clear();
    calc->ListingRanShort = true;
  }
  return Answer(calc->Listing, length);
}

rulecalc_status StatusOf(rulecalc::ERunStatus status) {
  switch (status) {
    case rulecalc::ERunStatus::Held: return RULECALC_HELD;
    case rulecalc::ERunStatus::Failed: return RULECALC_FAILED;
    default: return RULECALC_RUNTIME_ERROR;
  }
}

// Every array a table of this shape needs is there.
bool TableIsWhole(size_t rows, size_t columns, const char* const* names, const int32_t* types,
                  const char* const* values, const uint8_t* statuses) {
  if (rows > 0 && statuses == nullptr) return false;
  if (columns > 0 && (names == nullptr || types == nullptr)) return false;
  if (columns > 0 && rows > SIZE_MAX / columns) return false;
  return rows == 0 || columns == 0 || values != nullptr;
}

void MarkEveryRow(uint8_t* statuses, size_t rows, rulecalc_status status) {
  if (statuses == nullptr) return;
  for (size_t row = 0; row < rows; ++row) statuses[row] = static_cast<uint8_t>(status);
}

// Sets one row's variables, runs and keeps the text of a row that did not hold.
rulecalc_status RunRow(Handle& calc, size_t columns, const char* const* names, const int32_t* types,
                       const char* const* row) {
  for (size_t column = 0; column < columns; ++column) calc.Calc.SetVarValue(names[column], row[column], types[column]);
  const rulecalc_status status = StatusOf(calc.Calc.RunAfresh());
  calc.RowTexts.Add(status == RULECALC_HELD ? std::string_view() : std::string_view(calc.Calc.Machine.RuntimeError));
  return status;
}

// After the host said stop, the rows not run yet end as the interrupted row did.
void StopRemainingRows(Handle& calc, size_t from, size_t rows, uint8_t* statuses) {
  for (size_t row = from; row < rows; ++row) {
    calc.RowTexts.Add(calc.Calc.Machine.RuntimeError);
    statuses[row] = static_cast<uint8_t>(RULECALC_RUNTIME_ERROR);
  }
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

RULECALC_API void RULECALC_CDECL rulecalc_close(Handle* calc) {
  if (calc == nullptr || calc->InRuleSet) return;
  delete calc;
}

RULECALC_API void RULECALC_CDECL rulecalc_set_sentence(Handle* calc, const char* sentence) {
  if (calc != nullptr && !calc->InRuleSet) calc->Calc.SetSentence(sentence);
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
  if (calc == nullptr || calc->InRuleSet) return;
  calc->Calc.ClearMemory();
  calc->ListingRanShort = false;
}

RULECALC_API void RULECALC_CDECL rulecalc_set_variable(Handle* calc, const char* name, const char* value,
                                                       int32_t type) {
  if (calc != nullptr) calc->Calc.SetVarValue(name, value, type);
}

RULECALC_API long RULECALC_CDECL rulecalc_bind_variable(Handle* calc, const char* name, int32_t type) {
  return calc == nullptr ? -1 : calc->Calc.BindVariable(name, type);
}

RULECALC_API int RULECALC_CDECL rulecalc_set_number(Handle* calc, long slot, double value) {
  return calc != nullptr && calc->Calc.SetNumber(slot, value) ? 0 : -1;
}

RULECALC_API int RULECALC_CDECL rulecalc_set_text(Handle* calc, long slot, const char* bytes, size_t length) {
  return calc != nullptr && calc->Calc.SetText(slot, bytes, length) ? 0 : -1;
}

RULECALC_API int RULECALC_CDECL rulecalc_analyse(Handle* calc) {
  if (calc == nullptr) return 0;
  if (calc->InRuleSet) return calc->RuleCompiled ? 1 : 0;
  const bool compiled = calc->Calc.Analyse();
  calc->AnalysisStop = calc->Calc.AnalysisStop();
  return compiled ? 1 : 0;
}

RULECALC_API const char* RULECALC_CDECL rulecalc_analyse_error(Handle* calc, size_t* length) {
  return calc == nullptr ? EmptyAnswer(length) : Answer(calc->Calc.Analysor.AnalyseError, length);
}

RULECALC_API rulecalc_status RULECALC_CDECL rulecalc_run(Handle* calc) {
  return calc == nullptr ? RULECALC_RUNTIME_ERROR : StatusOf(calc->Calc.RunAfresh());
}

RULECALC_API rulecalc_status RULECALC_CDECL rulecalc_run_rows(Handle* calc, size_t rows, size_t columns,
                                                             const char* const* names, const int32_t* types,
                                                             const char* const* values, uint8_t* statuses) {
  if (calc == nullptr || !TableIsWhole(rows, columns, names, types, values, statuses)) {
    if (calc != nullptr) calc->RowTexts.Clear();
    MarkEveryRow(statuses, rows, RULECALC_RUNTIME_ERROR);
    return RULECALC_RUNTIME_ERROR;
  }
  rulecalc_status worst = RULECALC_HELD;
  try {
    calc->RowTexts.Clear();
    calc->RowTexts.Reserve(rows);
    calc->Calc.Interrupt.Rearm();
    for (size_t row = 0; row < rows; ++row) {
      if (calc->Calc.Interrupt.HasStopped()) {
        StopRemainingRows(*calc, row, rows, statuses);
        return RULECALC_RUNTIME_ERROR;
      }
      const rulecalc_status status = RunRow(*calc, columns, names, types, columns > 0 ? values + row * columns : values);
      statuses[row] = static_cast<uint8_t>(status);
      if (status > worst) worst = status;
    }
  } catch (...) {
    calc->RowTexts.Clear();
    MarkEveryRow(statuses, rows, RULECALC_RUNTIME_ERROR);
    return RULECALC_RUNTIME_ERROR;
  }
  return worst;
}

RULECALC_API const char* RULECALC_CDECL rulecalc_row_text(Handle* calc, size_t row, size_t* length) {
  if (calc == nullptr) return EmptyAnswer(length);
  const std::string_view text = calc->RowTexts.Text(row);
  if (text.data() == nullptr) return EmptyAnswer(length);
  if (length != nullptr) *length = text.size();
  return text.data();
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

RULECALC_API int RULECALC_CDECL rulecalc_set_language(Handle* calc, int language) {
  if (calc == nullptr) return -1;
  if (language != RULECALC_LANGUAGE_CLASSIC && language != RULECALC_LANGUAGE_EXTENDED) return -1;
  calc->Calc.SetLanguage(language == RULECALC_LANGUAGE_EXTENDED ? rulecalc::ELanguage::Extended
                                                                : rulecalc::ELanguage::Classic);
  return 0;
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

RULECALC_API int RULECALC_CDECL rulecalc_set_interrupt(Handle* calc, rulecalc_interrupt_check check, void* data) {
  if (calc == nullptr) return -1;
  calc->Calc.SetInterrupt(check, data);
  return 0;
}

RULECALC_API size_t RULECALC_CDECL rulecalc_failed_clause_count(Handle* calc) {
  return calc == nullptr ? 0 : calc->Calc.Machine.FailedClauses.size();
}

RULECALC_API int RULECALC_CDECL rulecalc_failed_clause(Handle* calc, size_t index, size_t* text_start,
                                                       size_t* text_length, size_t* names_start,
                                                       size_t* names_length) {
  if (calc == nullptr || index >= calc->Calc.Machine.FailedClauses.size()) return -1;
  const rulecalc::SFailedClause& clause = calc->Calc.Machine.FailedClauses[index];
  if (text_start != nullptr) *text_start = clause.TextStart;
  if (text_length != nullptr) *text_length = clause.TextLength;
  if (names_start != nullptr) *names_start = clause.NamesStart;
  if (names_length != nullptr) *names_length = clause.NamesLength;
  return 0;
}

RULECALC_API int RULECALC_CDECL rulecalc_analysis_stop(Handle* calc, size_t* offset, size_t* length) {
  if (calc == nullptr) return -1;
  if (offset != nullptr) *offset = calc->AnalysisStop.Offset;
  if (length != nullptr) *length = calc->AnalysisStop.Length;
  return 0;
}

RULECALC_API int RULECALC_CDECL rulecalc_memory_ran_out(Handle* calc) {
  return calc != nullptr && (calc->Calc.MemoryRanOut() || calc->ListingRanShort) ? 1 : 0;
}

RULECALC_API int RULECALC_CDECL rulecalc_read_number(Handle* calc, const char* text, double* number) {
  if (calc == nullptr) return -1;
  double value = 0;
  try {
    if (!rulecalc::ReadNumber(text ? text : "", calc->Calc.Environment.Settings.DecimalSeparator, value)) return 0;
  } catch (...) {
    return -1;  // a long number found no memory to be read in
  }
  if (number != nullptr) *number = value;
  return 1;
}

RULECALC_API size_t RULECALC_CDECL rulecalc_listing_item_count(Handle* calc) {
  return calc == nullptr ? 0 : calc->ListingItems.size();
}

RULECALC_API int RULECALC_CDECL rulecalc_listing_item(Handle* calc, size_t index, size_t* start, size_t* length) {
  if (calc == nullptr || index >= calc->ListingItems.size()) return -1;
  if (start != nullptr) *start = calc->ListingItems[index].Start;
  if (length != nullptr) *length = calc->ListingItems[index].Length;
  return 0;
}

RULECALC_API int RULECALC_CDECL rulecalc_set_notes(Handle* calc, int on) {
  if (calc == nullptr || (on != 0 && on != 1)) return -1;
  calc->Calc.Machine.TakeNotes = on == 1;
  if (on == 0) calc->Calc.Machine.Notes.clear();  // the notes of a run taking none are none
  return 0;
}

RULECALC_API size_t RULECALC_CDECL rulecalc_note_count(Handle* calc) {
  return calc == nullptr ? 0 : calc->Calc.Machine.Notes.size();
}

RULECALC_API int RULECALC_CDECL rulecalc_note(Handle* calc, size_t index, rulecalc_note_info* note) {
  if (calc == nullptr || index >= calc->Calc.Machine.Notes.size()) return -1;
  if (note == nullptr) return 0;
  const rulecalc::SRunNote& found = calc->Calc.Machine.Notes[index];
  note->kind = static_cast<int32_t>(found.Kind);
  note->position = found.Position;
  note->function = found.Function.c_str();
  note->argument = found.Argument.c_str();
  note->value = found.Value.c_str();
  note->message = found.Message.c_str();
  note->reason = found.Reason.c_str();
  note->text = found.Text.c_str();
  return 0;
}

}  // extern "C"
