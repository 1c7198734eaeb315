#include "boundary/RuleCalc.h"

#include <cmath>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "boundary/Listings.h"
#include "common/Messages.h"

namespace rulecalc {

namespace {

// Runs a text-producing step; when it fails (memory ran out) the answer is
// the empty text and ranShort is set.
template <typename MakeText>
const char* HoldText(SResultBuffer& buffer, bool& ranShort, MakeText makeText) noexcept {
  try {
    return buffer.Hold(makeText());
  } catch (...) {
    ranShort = true;
    return buffer.Hold({});
  }
}

// The message of an interrupted call; the empty text when even that cannot be held.
void SayInterrupted(std::string& text) noexcept {
  try {
    text = Message(mInterrupted);
  } catch (...) {
    text.clear();
  }
}

}  // namespace

TRuleCalc::TRuleCalc() : TRuleCalc(ReadHostEnvironment()) {}

TRuleCalc::TRuleCalc(SHostEnvironment environment)
    : Environment(std::move(environment)), Machine(Tokeniser, Environment), Analysor(Machine, Tokeniser) {
  Tokeniser.Interrupt = &Interrupt;
  Machine.Interrupt = &Interrupt;
}

TRuleCalc::TRuleCalc(SHostEnvironment environment, TVarTable& sharedVariables)
    : Environment(std::move(environment)),
      Machine(Tokeniser, Environment, &sharedVariables),
      Analysor(Machine, Tokeniser) {
  Tokeniser.Interrupt = &Interrupt;
  Machine.Interrupt = &Interrupt;
}

void TRuleCalc::SetSentence(const char* sentence) noexcept {
  try {
    Tokeniser.SetSentence(sentence ? sentence : "");
  } catch (...) {
    RanShort = true;  // the old sentence stays; nothing else changed
  }
}

const char* TRuleCalc::GetTokens() noexcept {
  return HoldText(ResultBuffer, RanShort, [this] { return TokenListing(Tokeniser); });
}

const char* TRuleCalc::GetNumbers() noexcept {
  return HoldText(ResultBuffer, RanShort, [this] { return NumberListing(Tokeniser); });
}

const char* TRuleCalc::GetVarnames() noexcept {
  return HoldText(ResultBuffer, RanShort, [this] { return VarnameListing(Tokeniser); });
}

void TRuleCalc::ClearMemory() noexcept {
  Machine.ClearMemory();
  RanShort = false;
}

void TRuleCalc::SetVarValue(const char* name, const char* value, std::int32_t type) noexcept {
  try {
    Machine.SetVar(name ? name : "", value ? value : "", type);
  } catch (...) {
    RanShort = true;  // the table is as it was before the call
  }
}

long TRuleCalc::BindVariable(const char* name, std::int32_t type) noexcept {
  if (name == nullptr) return -1;
  try {
    return static_cast<long>(Machine.Vars.Bind(name, type));
  } catch (...) {
    RanShort = true;  // the table is as it was before the call
    return -1;
  }
}

bool TRuleCalc::SetNumber(long slot, double value) noexcept {
  if (slot < 0 || static_cast<std::size_t>(slot) >= Machine.Vars.Size() || !std::isfinite(value)) return false;
  Machine.Vars.SetNumber(static_cast<std::size_t>(slot), value, Environment.Settings.DecimalSeparator);
  return true;
}

bool TRuleCalc::SetText(long slot, const char* bytes, std::size_t length) noexcept {
  if (slot < 0 || static_cast<std::size_t>(slot) >= Machine.Vars.Size()) return false;
  if (bytes == nullptr && length > 0) return false;
  const std::string_view text(bytes == nullptr ? "" : bytes, length);
  try {
    Machine.Vars.SetText(static_cast<std::size_t>(slot), text.substr(0, text.find('\0')));
  } catch (...) {
    RanShort = true;  // the record is as it was before the call
    return false;
  }
  return true;
}

bool TRuleCalc::Analyse() noexcept {
  try {
    return Analysor.Analyse();
  } catch (const SInterrupted&) {
    SayInterrupted(Analysor.AnalyseError);
    Analysor.Warnings.clear();
    return false;
  } catch (...) {
    RanShort = true;
    return false;
  }
}

const char* TRuleCalc::GetAnalyseError() noexcept {
  return HoldText(ResultBuffer, RanShort, [this]() -> const std::string& { return Analysor.AnalyseError; });
}

bool TRuleCalc::Run() noexcept {
  try {
    return Machine.Run();
  } catch (const SInterrupted&) {
    SayInterrupted(Machine.RuntimeError);
    Machine.StoppedByError = true;
    return false;
  } catch (...) {
    RanShort = true;
    Machine.StoppedByError = true;
    return false;
  }
}

const char* TRuleCalc::GetRuntimeError() noexcept {
  return HoldText(ResultBuffer, RanShort, [this]() -> const std::string& { return Machine.RuntimeError; });
}

SSentenceSpan TRuleCalc::AnalysisStop() const noexcept {
  const auto sentenceLength = static_cast<std::size_t>(Tokeniser.SentenceLength);
  if (Tokeniser.WordType == wtEnd) return SSentenceSpan{sentenceLength, 0};
  const auto end = static_cast<std::size_t>(Tokeniser.Position);
  const std::size_t length = Tokeniser.Word.size() <= end ? Tokeniser.Word.size() : end;
  return SSentenceSpan{end - length, length};
}

ERunStatus TRuleCalc::RunForStatus() noexcept {
  if (Run()) return ERunStatus::Held;
  return Machine.StoppedByError ? ERunStatus::RuntimeError : ERunStatus::Failed;
}

ERunStatus TRuleCalc::RunAfresh() noexcept {
  Machine.ResetRunState();
  return RunForStatus();
}

void TRuleCalc::ReserveCode(std::size_t records) noexcept {
  try {
    Machine.ReserveCode(records);
  } catch (...) {
    // The code list grows as it would have without the reservation.
  }
}

bool TRuleCalc::SetDateOrder(EDateOrder order) noexcept {
  try {
    return ChangeDateOrder(Environment, order);
  } catch (...) {
    return false;  // the picture is as it was
  }
}

bool TRuleCalc::SetDateSeparator(char separator) noexcept { return ChangeDateSeparator(Environment, separator); }

bool TRuleCalc::SetCurrentYear(int year) noexcept { return ChangeCurrentYear(Environment, year); }

}  // namespace rulecalc
