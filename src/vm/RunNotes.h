#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rulecalc {

// Why a run used a fallback value instead of one the sentence computed.
enum class ENoteKind : std::uint8_t {
  UnreadableDate,    // TODATE of a text that is no date in the date order and separator: 0
  DateOutOfRange,    // TOCHAR of a value that is no date: ""
  InvalidDate,       // ADDYEARS, ADDMONTHS, ADDDAYS, YEAR, MONTH, DAY, LASTDAY of no date: 0
  DivisionByZero,    // "/" by 0 (or by a null number): 0
  LogOfNonPositive,  // LG of 0 or less: minus infinity or not a number
  StartOutsideText,  // SUBSTR from a start outside its text: ""
  NotANumber,        // a numeric variable or a TONUMBER text that is not a number: the null number
};

// Where in the sentence an instruction that may fall back came from.
struct SSourcePlace {
  std::size_t Record = 0;         // the instruction's index in the code list
  std::int32_t Position = 0;      // the call's name, the operator or the variable
  std::int32_t ArgumentStart = 0;  // the argument the note is about, as written
  std::int32_t ArgumentEnd = 0;
};

// One fallback of a run. Texts are GBK, as the sentence and the values are.
struct SRunNote {
  ENoteKind Kind = ENoteKind::NotANumber;
  std::int32_t Position = 0;  // byte offset of the call's name, the operator or the variable
  std::string Function;       // "TODATE", "/", or "" for a variable
  std::string Argument;       // the argument as the sentence writes it
  std::string Value;          // the value it had
  std::string Message;        // "TODATE could not read APPLIED"
  std::string Reason;         // "expected m/d/y with '/'"
  std::string Text;           // Message 'Value': Reason (no 'Value' when it is the Argument as written)
};

}  // namespace rulecalc
