#pragma once

#include <cstdint>

#include "common/Messages.h"
#include "lexer/WordType.h"
#include "vm/OpCode.h"

namespace rulecalc {

// How a built-in function checks an argument by its first token alone,
// before parsing it.
enum class EMScreen : std::uint8_t {
  None,         // no check
  Text,         // a text: no number literal, no numeric variable
  Numeric,      // a number or date: no string literal, no text variable
  TextLiteral,  // must begin with a string literal
  NvlNumeric,   // NVL's numeric default: no string literal, no text variable (other codes pass)
};

// The call pattern of a built-in function.
enum class EMCallShape : std::uint8_t {
  OneArgument,  // f(a)
  Tochar,       // TOCHAR(date, "format"): the date saved on the stack while the format is computed
  Pair,         // f(a, b) with the first saved on the stack: $C0/$C1 or $S0/$S1
  Substr,       // SUBSTR(text, start, count): text and start saved while the later ones are computed
  Nvl,          // NVL(value, default), numeric or text by the first token
  Replace,      // REPLACE(text, old, new): three texts, the third screened as the second
};

// One built-in function: its pattern, screens, opcode, result type and its
// own messages (left bracket, missing argument, first type, incomplete,
// second type, right bracket). A function of the extended language writes
// its name before each of its messages.
struct SBuiltinFunction {
  EMWordType Keyword;
  EMOpCode OpCode;
  std::uint8_t ResultType;
  EMCallShape Shape;
  EMScreen FirstScreen;
  EMScreen SecondScreen;
  bool PairOfTexts;  // Pair shape over $S0/$S1 (FINDSTR) rather than $C0/$C1
  EMMessage LeftBracket;
  EMMessage MissingArgument;
  EMMessage FirstType;
  EMMessage Incomplete;
  EMMessage SecondType;
  EMMessage RightBracket;
};

// The entry of a function keyword; nullptr for any other kind.
const SBuiltinFunction* FindBuiltinFunction(EMWordType keyword);

}  // namespace rulecalc
