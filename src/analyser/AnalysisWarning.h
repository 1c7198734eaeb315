#pragma once

#include <cstdint>
#include <string>

namespace rulecalc {

// The kinds of places where a sentence mixes types, orders two texts, or mixes
// AND with OR, so that its result may mean something other than it reads. The
// code compiled for them is unchanged.
enum class EWarningKind : std::uint8_t {
  TextComparedWithNumber,  // the two sides of a comparison have different types
  TextsOrderedByBytes,     // < <= > >= between two texts: compared byte by byte
  ArithmeticOnText,        // a text is the right operand of + - * /
  ConcatOnNumber,          // a number is the right operand of ||
  UnusualTypeCode,         // a variable whose type code is neither 0 nor 1 (read as a number)
  AndOrLeftToRight,        // AND and OR mixed: read from left to right, as the message's brackets show
};

struct SAnalysisWarning {
  EWarningKind Kind;
  std::int32_t Position;  // byte offset of the operator or variable in the sentence
  std::string Message;    // GBK
};

}  // namespace rulecalc
