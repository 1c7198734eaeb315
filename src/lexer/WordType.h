#pragma once

#include <cstdint>

namespace rulecalc {

// Kind of a token. The numbers are fixed: the automata list, the analyser and
// the listings all rely on them.
enum EMWordType : std::uint8_t {
  wtError = 0,          // no automaton matched at the current position
  wtEnd = 1,            // end of the sentence reached
  wtNull = 2,           // NULL
  wtAnd = 3,            // AND
  wtOr = 4,             // OR
  wtIf = 5,             // IF
  wtThen = 6,           // THEN
  wtElse = 7,           // ELSE
  wtSpliter = 8,        // a run of tab, line feed, carriage return, space
  wtContacter = 9,      // ||
  wtString = 10,        // "..." (no escapes)
  wtLg = 11,            // LG
  wtLength = 12,        // LENGTH
  wtSubstr = 13,        // SUBSTR
  wtNvl = 14,           // NVL
  wtFindstr = 15,       // FINDSTR
  wtTodate = 16,        // TODATE
  wtTochar = 17,        // TOCHAR
  wtAddyears = 18,      // ADDYEARS
  wtAddmonths = 19,     // ADDMONTHS
  wtAdddays = 20,       // ADDDAYS
  wtYear = 21,          // YEAR
  wtMonth = 22,         // MONTH
  wtDay = 23,           // DAY
  wtLastday = 24,       // LASTDAY
  wtFieldName = 25,     // identifier: a letter, then letters, digits, '_'
  wtNumber = 26,        // digits, optionally '.' and digits
  wtSemicolon = 27,     // ;
  wtComma = 28,         // ,
  wtLeftBracket = 29,   // (
  wtRightBracket = 30,  // )
  wtAdd = 31,           // +
  wtSub = 32,           // -
  wtMul = 33,           // *
  wtDiv = 34,           // /
  wtEqual = 35,         // =
  wtLess = 36,          // <
  wtGreat = 37,         // >
  wtLessEqual = 38,     // <=
  wtGreatEqual = 39,    // >=
  wtUnequal = 40,       // <>
  // The extended language's keywords. No automaton makes them: the tokeniser
  // of an extended calculator gives these kinds to identifiers spelt so.
  wtNot = 41,           // NOT
  wtIn = 42,            // IN
  wtIs = 43,            // IS
  wtEmpty = 44,         // EMPTY
  wtTrim = 45,          // TRIM
  wtUpper = 46,         // UPPER
  wtLower = 47,         // LOWER
  wtReplace = 48,       // REPLACE
  wtTonumber = 49,      // TONUMBER
  wtRound = 50,         // ROUND
  wtAbs = 51,           // ABS
  wtMod = 52,           // MOD
  wtLengthc = 53,       // LENGTHC
  wtSubstrc = 54,       // SUBSTRC
  wtFindstrc = 55,      // FINDSTRC
};

constexpr int kFirstAutomatonKind = wtNull;
constexpr int kLastAutomatonKind = wtUnequal;
constexpr int kAutomatonCount = kLastAutomatonKind - kFirstAutomatonKind + 1;
constexpr int kFirstExtendedKind = wtNot;
constexpr int kLastExtendedKind = wtFindstrc;

}  // namespace rulecalc
