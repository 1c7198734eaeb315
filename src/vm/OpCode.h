#pragma once

#include <cstdint>

namespace rulecalc {

// The instruction set. Operands are texts: registers by name ("$C0"),
// variables by name, constants by their source text, jump targets by label.
enum EMOpCode : std::uint8_t {
  opAdd = 0,           // $C0 := $C0 + $C1 (a null number counts as 0)
  opSub = 1,           // $C0 := $C0 - $C1 (a null number counts as 0)
  opMul = 2,           // $C0 := $C0 * $C1 (a null number counts as 0)
  opDiv = 3,           // $C0 := $C0 / $C1, or 0 when $C1 is 0
  opLess = 4,          // $BR := $R0 < $C0 (texts: $RS < $S0)
  opGreat = 5,         // $BR := $R0 > $C0 (texts: $RS > $S0)
  opEqual = 6,         // $BR := $R0 equals $C0 within EqualEpsilon (texts: same bytes)
  opUnequal = 7,       // $BR := not opEqual
  opLessEqual = 8,     // $BR := $R0 <= $C0 (texts: $RS <= $S0)
  opGreatEqual = 9,    // $BR := $R0 >= $C0 (texts: $RS >= $S0)
  opMovR = 10,         // register Operand1 := register Operand2
  opMovF = 11,         // register Operand1 := variable Operand2 (no such variable: run-time error)
  opMovD = 12,         // register Operand1 := constant Operand2
  opPush = 13,         // push register Operand1 (overflow: run-time error)
  opPop = 14,          // pop into register Operand1 (empty stack: run-time error)
  opAnd = 15,          // $BR := $BR and $BR1; a true result clears the run-time text
  opOr = 16,           // $BR := $BR or $BR1; a true result clears the run-time text
  opContact = 17,      // $S0 := $S0 followed by $S1
  opLength = 18,       // $C0 := byte length of $S0
  opSubstr = 19,       // $S0 := bytes of $S0 from $C0, at most $C1 of them ("" when out of range)
  opFindstr = 20,      // $C0 := offset of $S1 in $S0, or -1
  opNvl = 21,          // $C0 := $C1 when $C0 is the null number (texts: $S0 := $S1 when $S0 is "")
  opTodate = 22,       // $C0 := the date written in $S0, or 0
  opTochar = 23,       // $S0 := date $C0 formatted by $S0, or "" for an invalid date
  opAddyears = 24,     // $C0 := date $C0 plus $C1 years, or 0
  opAddmonths = 25,    // $C0 := date $C0 plus $C1 months, or 0
  opAdddays = 26,      // $C0 := date $C0 plus $C1 days, or 0
  opYear = 27,         // $C0 := year of date $C0, or 0
  opMonth = 28,        // $C0 := month of date $C0, or 0
  opDay = 29,          // $C0 := day of month of date $C0, or 0
  opLastday = 30,      // $C0 := days in the month of date $C0, or 0
  opJMP = 31,          // continue after the label record named by Operand1
  opJNB = 32,          // as opJMP when $BR is false
  opLg = 33,           // $C0 := base-10 logarithm of $C0 (no domain check)
  opNOP = 34,          // no effect; marks a label or the start of $IF/$THEN/$ELSE
};

constexpr int kOpCodeCount = 35;

struct SOpCodeInfo {
  const char* Name;         // "opAdd"
  const char* Description;  // GBK description text ("" where there is none)
  const char* Readable;     // the description in UTF-8
};

// Name and description of every opcode, in opcode order.
const SOpCodeInfo* OpCodeTable();

}  // namespace rulecalc
