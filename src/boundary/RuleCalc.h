#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "analyser/Semanticanalysor.h"
#include "boundary/ResultBuffer.h"
#include "lexer/TokenAnalyser.h"
#include "platform/HostEnvironment.h"
#include "platform/SettingsChanges.h"
#include "vm/VirtualMachine.h"

namespace rulecalc {

// One complete rule calculator: a tokeniser, a machine, an analyser and a
// result buffer, created in that order and destroyed in reverse. The flat C
// exports use one global instance; a C++ host may create more, one per
// thread, each independent of the others.
//
// The operations mirror the C exports and never throw: when memory runs out
// (or anything else goes wrong inside) the state stays consistent, Analyse
// and Run answer false and a text getter answers the empty text.
// How a run ended.
enum class ERunStatus { Held, Failed, RuntimeError };

// A stretch of the sentence in bytes: the token an analysis stopped at.
struct SSentenceSpan {
  std::size_t Offset = 0;
  std::size_t Length = 0;  // 0 at the end of the sentence
};

class TRuleCalc {
 public:
  // Reads the host's regional settings and uses the host clock.
  TRuleCalc();
  // Uses the given settings and clock (for tests and hosts that choose their own).
  explicit TRuleCalc(SHostEnvironment environment);
  // Reads and sets the variables of a table shared with other calculators
  // (the rules of one set): it must outlive this one, and ClearMemory
  // empties it for all of them.
  TRuleCalc(SHostEnvironment environment, TVarTable& sharedVariables);
  TRuleCalc(const TRuleCalc&) = delete;
  TRuleCalc& operator=(const TRuleCalc&) = delete;

  void SetSentence(const char* sentence) noexcept;
  const char* GetTokens() noexcept;
  const char* GetNumbers() noexcept;
  const char* GetVarnames() noexcept;
  void ClearMemory() noexcept;
  void SetVarValue(const char* name, const char* value, std::int32_t type) noexcept;
  // Variable slots: the place of a variable in the table, so that a host
  // setting the same variables for many runs finds each by name once. A
  // slot stays the variable's until ClearMemory.
  // The variable's slot, inserted with an empty value of that type when new
  // (an existing one keeps its type and value); -1 for a null name or when
  // memory runs out.
  long BindVariable(const char* name, std::int32_t type) noexcept;
  // The value as a number, taken as it is by every numeric reader; false
  // (nothing changed) for a slot not bound or a value that is not finite.
  bool SetNumber(long slot, double value) noexcept;
  // The value as text: length bytes, ending early at a NUL byte; false
  // (nothing changed) for a slot not bound, null bytes of some length, or
  // when memory runs out.
  bool SetText(long slot, const char* bytes, std::size_t length) noexcept;
  bool Analyse() noexcept;
  const char* GetAnalyseError() noexcept;
  bool Run() noexcept;
  const char* GetRuntimeError() noexcept;

  // Run, telling a false result (explained by the run-time text) from a
  // run-time error (or a failure inside the library).
  ERunStatus RunForStatus() noexcept;
  // RunForStatus from a clean machine: the registers, the stacks and the
  // run-time text are reset first, so the outcome depends only on the code
  // and the variables (the handle functions run this way; Run does not).
  ERunStatus RunAfresh() noexcept;
  // Makes room for a code list of that many records before an analysis
  // known to emit about that many (the same sentence analysed elsewhere), so
  // that a host keeping many analysed calculators holds no spare room; no
  // answer changes. Nothing happens when memory is short.
  void ReserveCode(std::size_t records) noexcept;
  // True when an operation since the instance was made or last cleared
  // (ClearMemory) stopped early because memory ran out, so that its answer
  // was the fallback above rather than the rule's own.
  bool MemoryRanOut() const noexcept { return RanShort; }
  // Where the analyser is now: after a failed Analyse, the token it
  // refused, or the end of the sentence when it ran out of tokens.
  SSentenceSpan AnalysisStop() const noexcept;
  // The type mixtures found by the last Analyse; empty when it failed.
  const std::vector<SAnalysisWarning>& Warnings() const noexcept { return Analysor.Warnings; }

  // Settings of this instance; false (and nothing changed) for an invalid value.
  bool SetDateOrder(EDateOrder order) noexcept;
  bool SetDateSeparator(char separator) noexcept;
  bool SetCurrentYear(int year) noexcept;  // 0: the host clock
  // The language the next Analyse reads, and the tokens and names listed.
  void SetLanguage(ELanguage language) noexcept { Tokeniser.Language = language; }
  // The host's check, asked during analysis, listings and runs; when it says
  // stop, Analyse fails and a run ends with a run-time error, both with the
  // message mInterrupted, and a listing is empty. Null: never asked.
  void SetInterrupt(TInterruptHook::TCheck check, void* data) noexcept { Interrupt.Set(check, data); }

  TInterruptHook Interrupt;
  SHostEnvironment Environment;
  TTokenAnalyser Tokeniser;
  TVirtualMachine Machine;
  TSemanticAnalysor Analysor;
  SResultBuffer ResultBuffer;

 private:
  bool RanShort = false;
};

}  // namespace rulecalc
