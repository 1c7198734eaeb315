// Notes of a run: where a built-in, a division or a numeric variable fell
// back to a value the sentence did not compute. Only runs that take notes
// come here; a superinstruction is looked at after its step, from what its
// members loaded.

#include "vm/RunNotes.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "common/DoubleText.h"
#include "vm/Calendar.h"
#include "vm/Counts.h"
#include "vm/DateBuiltins.h"
#include "vm/NumberText.h"
#include "vm/VirtualMachine.h"

namespace rulecalc {

namespace {

const char* FunctionName(EMOpCode op) {
  switch (op) {
    case opTodate: return "TODATE";
    case opTochar: return "TOCHAR";
    case opAddyears: return "ADDYEARS";
    case opAddmonths: return "ADDMONTHS";
    case opAdddays: return "ADDDAYS";
    case opYear: return "YEAR";
    case opMonth: return "MONTH";
    case opDay: return "DAY";
    case opLastday: return "LASTDAY";
    case opLg: return "LG";
    case opSubstr: return "SUBSTR";
    case opTonumber: return "TONUMBER";
    case opDiv: return "/";
    default: return "";
  }
}

// What the call could not do, before the argument's text.
const char* FailedAction(ENoteKind kind) {
  switch (kind) {
    case ENoteKind::UnreadableDate: return " could not read ";
    case ENoteKind::DateOutOfRange: return " could not format ";
    case ENoteKind::InvalidDate: return " could not read the date ";
    case ENoteKind::DivisionByZero: return " could not divide by ";
    case ENoteKind::LogOfNonPositive: return " could not take the logarithm of ";
    case ENoteKind::StartOutsideText: return " could not start at ";
    default: return " could not be read as a number";
  }
}

// A whole number as its digits, another as the shortest text that reads back
// as it; NULL for the null number.
std::string NumberValueText(double value) {
  if (value == NullNumber) return "NULL";
  char buffer[64];
  const bool whole = std::abs(value) < 1e15 && value == std::trunc(value);
  char* const written = whole ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<std::int64_t>(value)).ptr
                             : ShortestDoubleText(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, written);
}

std::string NotANumberReason(char decimalSeparator) {
  std::string reason = "expected a number with '";
  return reason + decimalSeparator + "' before its fraction; read as the null number";
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

void TVirtualMachine::PlaceLastRecord(std::int32_t position, std::int32_t argumentStart, std::int32_t argumentEnd) {
  if (Code.empty()) return;
  Places.push_back({Code.size() - 1, position, argumentStart, std::max(argumentStart, argumentEnd)});
}

const SSourcePlace* TVirtualMachine::PlaceOf(std::size_t pc) const {
  const auto found = std::lower_bound(Places.begin(), Places.end(), pc,
                                      [](const SSourcePlace& place, std::size_t record) { return place.Record < record; });
  return found != Places.end() && found->Record == pc ? &*found : nullptr;
}

// The argument's text in the sentence, without the blanks around it.
std::string TVirtualMachine::ArgumentText(const SSourcePlace& place) const {
  std::int32_t start = std::max(place.ArgumentStart, 0);
  std::int32_t end = std::min(place.ArgumentEnd, Tokeniser.SentenceLength);
  while (start < end && IsBlank(Tokeniser.Sentence[static_cast<std::size_t>(start)])) ++start;
  while (end > start && IsBlank(Tokeniser.Sentence[static_cast<std::size_t>(end - 1)])) --end;
  if (start >= end) return {};
  return Tokeniser.Sentence.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

void TVirtualMachine::AddNote(std::size_t pc, ENoteKind kind, std::string value, std::string reason) {
  const SSourcePlace* place = PlaceOf(pc);
  if (place == nullptr) return;  // code that no analysis of this sentence emitted
  SRunNote& note = Notes.emplace_back();
  note.Kind = kind;
  note.Position = place->Position;
  note.Function = FunctionName(Prepared[pc].Op);
  note.Argument = ArgumentText(*place);
  note.Value = std::move(value);
  note.Message = kind == ENoteKind::NotANumber ? note.Argument + FailedAction(kind)
                                               : note.Function + FailedAction(kind) + note.Argument;
  note.Reason = std::move(reason);
  note.Text = note.Message;
  if (note.Value != note.Argument) note.Text += " '" + note.Value + "'";
  note.Text += ": " + note.Reason;
}

// Looks at a built-in's arguments before it runs, while the registers still
// hold them (TODATE is looked at after it ran, as it keeps its text).
void TVirtualMachine::NoteBuiltin(std::size_t pc) {
  const SRegisters& r = Registers;
  const EMOpCode op = Prepared[pc].Op;
  const char* noDate = "no date from year 100 to 9999";
  switch (op) {
    case opTochar:
      if (!IsDateValue(r.C0))
        AddNote(pc, ENoteKind::DateOutOfRange, NumberValueText(r.C0), std::string(noDate) + "; the text is empty");
      break;
    case opAddyears: case opAddmonths: case opAdddays: case opYear: case opMonth: case opDay: case opLastday:
      if (!IsDateValue(r.C0))
        AddNote(pc, ENoteKind::InvalidDate, NumberValueText(r.C0), std::string(noDate) + "; the result is 0");
      break;
    case opLg:
      if (!(r.C0 > 0))
        AddNote(pc, ENoteKind::LogOfNonPositive, NumberValueText(r.C0), "not above 0, so there is no logarithm");
      break;
    case opSubstr: {
      const std::int64_t start = TruncateCount(r.C0);
      if (start < 0 || start >= static_cast<std::int64_t>(r.S0.size()))
        AddNote(pc, ENoteKind::StartOutsideText, NumberValueText(r.C0),
                "outside the " + std::to_string(r.S0.size()) + " bytes of the text; the result is empty");
      break;
    }
    case opTonumber: {
      double value = 0.0;
      if (!r.S0.empty() && !ReadNumber(r.S0, Environment.Settings.DecimalSeparator, value))
        AddNote(pc, ENoteKind::NotANumber, r.S0, NotANumberReason(Environment.Settings.DecimalSeparator));
      break;
    }
    default: break;
  }
}

// After TODATE: a result of 0 is a fallback unless the text was the date 0
// itself; an empty text is a missing date, not an unreadable one.
void TVirtualMachine::NoteUnreadDate(std::size_t pc) {
  const SRegisters& r = Registers;
  if (r.C0 != 0 || r.S0.empty() || ReadDateText(r.S0, Environment.Settings, Environment.CurrentYear())) return;
  AddNote(pc, ENoteKind::UnreadableDate, r.S0, "expected " + ExpectedDateText(Environment.Settings));
}

// A divisor of 0, the null number included (it counts as 0).
void TVirtualMachine::NoteDivision(std::size_t pc, double divisor) {
  if (Prepared[pc].Op == opDiv && (divisor == 0.0 || divisor == NullNumber))
    AddNote(pc, ENoteKind::DivisionByZero, NumberValueText(divisor), "the divisor is 0; the result is 0");
}

// After a right operand run as one step: its variable, and the divisor it
// was (the constant, or the variable's number as it loaded).
void TVirtualMachine::NoteRightOperand(std::size_t pc, bool fromVariable) {
  double divisor = Prepared[pc].Constant;
  if (fromVariable) {
    NoteUnreadNumber(pc);
    if (!CachedVariableNumber(Prepared[pc], divisor)) return;
  }
  NoteDivision(pc + 3, divisor);
}

// A numeric variable just loaded whose text is neither empty nor a number.
void TVirtualMachine::NoteUnreadNumber(std::size_t pc) {
  const SPreparedCode& p = Prepared[pc];
  if (p.VarIndex < 0) return;
  const auto index = static_cast<std::size_t>(p.VarIndex);
  if (index >= LoadedNumbers.size() || LoadedNumbers[index].IsNumber) return;
  const std::string& text = Vars.Text(index);
  if (text.empty()) return;
  AddNote(pc, ENoteKind::NotANumber, text, NotANumberReason(Environment.Settings.DecimalSeparator));
}


}  // namespace rulecalc
