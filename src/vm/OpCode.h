#pragma once

#include <cstdint>

namespace rulecalc {

// The instruction set. Operands are texts: registers by name ("$C0"),
// variables by name, constants by their source text, jump targets by label.
// After each opcode, in brackets: what the null number (0.0000001, a missing
// number) does to it. Comparisons keep it as that value, so hosts can test
// X = NULL, and an empty number is > 0 but not = 0.
enum EMOpCode : std::uint8_t {
  opAdd = 0,           // $C0 := $C0 + $C1 (null: counts as 0)
  opSub = 1,           // $C0 := $C0 - $C1 (null: counts as 0)
  opMul = 2,           // $C0 := $C0 * $C1 (null: counts as 0)
  opDiv = 3,           // $C0 := $C0 / $C1, or 0 when $C1 is 0 (null: counts as 0)
  opLess = 4,          // $BR := $R0 < $C0 (texts: $RS < $S0) (null: compared as 0.0000001)
  opGreat = 5,         // $BR := $R0 > $C0 (texts: $RS > $S0) (null: compared as 0.0000001)
  opEqual = 6,         // $BR := $R0 equals $C0 within EqualEpsilon (texts: same bytes)
                       // (null: compared as 0.0000001)
  opUnequal = 7,       // $BR := not opEqual (null: compared as 0.0000001)
  opLessEqual = 8,     // $BR := $R0 <= $C0 (texts: $RS <= $S0) (null: compared as 0.0000001)
  opGreatEqual = 9,    // $BR := $R0 >= $C0 (texts: $RS >= $S0) (null: compared as 0.0000001)
  opMovR = 10,         // register Operand1 := register Operand2 (null: copied as it is)
  opMovF = 11,         // register Operand1 := variable Operand2 (no such variable: run-time error)
                       // (null: an empty or unreadable numeric value loads as the null number)
  opMovD = 12,         // register Operand1 := constant Operand2 (null: NULL compiles to the
                       // constant 0.0000001; a constant that is not a number loads it too)
  opPush = 13,         // push register Operand1 (overflow: run-time error) (null: kept)
  opPop = 14,          // pop into register Operand1 (empty stack: run-time error) (null: kept)
  opAnd = 15,          // $BR := $BR and $BR1; a true result clears the run-time text (no numbers)
  opOr = 16,           // $BR := $BR or $BR1; a true result clears the run-time text (no numbers)
  opContact = 17,      // $S0 := $S0 followed by $S1 (no numbers)
  opLength = 18,       // $C0 := byte length of $S0 (no number read)
  opSubstr = 19,       // $S0 := bytes of $S0 from $C0, at most $C1 of them ("" when out of range)
                       // (null: a count of 0)
  opFindstr = 20,      // $C0 := offset of $S1 in $S0, or -1 (no number read)
  opNvl = 21,          // $C0 := $C1 when $C0 is the null number (texts: $S0 := $S1 when $S0 is "")
                       // (null: replaced; a null $C1 is kept)
  opTodate = 22,       // $C0 := the date written in $S0, or 0 (no number read)
  opTochar = 23,       // $S0 := date $C0 formatted by $S0, or "" for an invalid date
                       // (null: the date 1899-12-30)
  opAddyears = 24,     // $C0 := date $C0 plus $C1 years, or 0 (null: the date 1899-12-30, a count of 0)
  opAddmonths = 25,    // $C0 := date $C0 plus $C1 months, or 0 (null: the date 1899-12-30, a count of 0)
  opAdddays = 26,      // $C0 := date $C0 plus $C1 days, or 0 (null: the date 1899-12-30 with
                       // its tiny fraction kept, so ADDDAYS(N,1) is just above 1; a count of 0)
  opYear = 27,         // $C0 := year of date $C0, or 0 (null: 1899)
  opMonth = 28,        // $C0 := month of date $C0, or 0 (null: 12)
  opDay = 29,          // $C0 := day of month of date $C0, or 0 (null: 30)
  opLastday = 30,      // $C0 := days in the month of date $C0, or 0 (null: 31)
  opJMP = 31,          // continue after the label record named by Operand1 (no numbers)
  opJNB = 32,          // as opJMP when $BR is false (no numbers)
  opLg = 33,           // $C0 := base-10 logarithm of $C0 (no domain check) (null: -7)
  opNOP = 34,          // no effect; marks a label or the start of $IF/$THEN/$ELSE (no numbers)
  // The extended language's instructions; no classic sentence compiles to them.
  opNot = 35,      // $BR := not $BR (no numbers)
  opMark = 36,     // opens a group of the explanation: the failed clauses so far are kept apart (no numbers)
  opExplain = 37,  // closes the group opened last: the clauses it gathered are dropped and, when $BR is false, the clause numbered Operand1 explains it (no numbers)
  opUnmark = 38,   // closes the group opened last, keeping the clauses it gathered (no numbers)
  opTrim = 39,     // $S0 := $S0 without the blanks at either end (space, tab, CR, LF, full-width space)
  opUpper = 40,    // $S0 := $S0 with ASCII letters in capitals (GBK characters untouched)
  opLower = 41,    // $S0 := $S0 with ASCII letters in small letters (GBK characters untouched)
  opReplace = 42,  // $S0 := $S0 with every $RS that starts on a character replaced by $S1 (an empty $RS: $S0)
  opTonumber = 43, // $C0 := the number $S0 reads as, or the null number
  opRound = 44,    // $C0 := $C0 rounded half away from zero to $C1 decimals (null: null)
  opAbs = 45,      // $C0 := the absolute value of $C0
  opMod = 46,      // $C0 := $C0 - $C1*floor($C0/$C1), or 0 when $C1 is 0 (null: 0)
  opLengthc = 47,  // $C0 := characters in $S0
  opSubstrc = 48,  // $S0 := characters of $S0 from $C0, at most $C1 of them (a start outside: "")
  opFindstrc = 49, // $C0 := character offset of $S1 in $S0, or -1
};

constexpr int kOpCodeCount = 50;

struct SOpCodeInfo {
  const char* Name;         // "opAdd"
  const char* Description;  // GBK description text ("" where there is none)
  const char* Readable;     // the description in UTF-8
};

// Name and description of every opcode, in opcode order.
const SOpCodeInfo* OpCodeTable();

}  // namespace rulecalc
