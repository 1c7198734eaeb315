#pragma once

// The 163 states of the 39 token automata, one class per state. Every class
// derives directly from TBaseNode, has exactly one immutable instance
// (Instance), and states its own transition rule in Next. A class is named by
// its automaton's stem and a state number; number 0 is always accepting.

#include "lexer/BaseNode.h"

namespace rulecalc {

// Keyword letters match in either ASCII case; symbols match exactly.
constexpr bool MatchesChainChar(std::uint8_t byte, char expected) {
  const auto want = static_cast<std::uint8_t>(expected);
  if (want >= 'A' && want <= 'Z') return byte == want || byte == want + ('a' - 'A');
  return byte == want;
}

constexpr bool IsAsciiLetter(std::uint8_t b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); }
constexpr bool IsAsciiDigit(std::uint8_t b) { return b >= '0' && b <= '9'; }
constexpr bool IsBlankByte(std::uint8_t b) { return b == 0x09 || b == 0x0A || b == 0x0D || b == 0x20; }

// Declares one state class and defines its single instance.
#define RC_STATE_CLASS(ClassName, IsFinalAnswer, NextBody)                  \
  class ClassName final : public TBaseNode {                                \
   public:                                                                  \
    static const ClassName Instance;                                        \
    const TBaseNode* Next(std::uint8_t byte) const override { NextBody }    \
    bool IsFinal() const override { return IsFinalAnswer; }                 \
  };                                                                        \
  inline const ClassName ClassName::Instance{};

// The last state of a keyword or symbol chain: accepting, and every byte
// leads to the error node.
#define RC_FINAL_STATE(ClassName) \
  RC_STATE_CLASS(ClassName, true, (void)byte; return &TErrorNode::Instance;)

// A state inside a chain: its one character (a letter in either case) leads
// to the next state of the chain, every other byte to the error node.
#define RC_CHAIN_STATE(ClassName, Char, NextClass)                                       \
  RC_STATE_CLASS(ClassName, false,                                                       \
                 if (MatchesChainChar(byte, Char)) return &NextClass::Instance;          \
                 return &TErrorNode::Instance;)

// wtNull "NULL": 2 -> 1 -> 4 -> 3 -> 0
RC_FINAL_STATE(TNullStateNode0)
RC_CHAIN_STATE(TNullStateNode3, 'L', TNullStateNode0)
RC_CHAIN_STATE(TNullStateNode4, 'L', TNullStateNode3)
RC_CHAIN_STATE(TNullStateNode1, 'U', TNullStateNode4)
RC_CHAIN_STATE(TNullStateNode2, 'N', TNullStateNode1)

// wtAnd "AND": 3 -> 1 -> 2 -> 0
RC_FINAL_STATE(TAndStateNode0)
RC_CHAIN_STATE(TAndStateNode2, 'D', TAndStateNode0)
RC_CHAIN_STATE(TAndStateNode1, 'N', TAndStateNode2)
RC_CHAIN_STATE(TAndStateNode3, 'A', TAndStateNode1)

// wtOr "OR": 2 -> 1 -> 0
RC_FINAL_STATE(TOrStateNode0)
RC_CHAIN_STATE(TOrStateNode1, 'R', TOrStateNode0)
RC_CHAIN_STATE(TOrStateNode2, 'O', TOrStateNode1)

// wtIf "IF": 1 -> 2 -> 0
RC_FINAL_STATE(TIfStateNode0)
RC_CHAIN_STATE(TIfStateNode2, 'F', TIfStateNode0)
RC_CHAIN_STATE(TIfStateNode1, 'I', TIfStateNode2)

// wtThen "THEN": 1 -> 3 -> 4 -> 2 -> 0
RC_FINAL_STATE(TThenStateNode0)
RC_CHAIN_STATE(TThenStateNode2, 'N', TThenStateNode0)
RC_CHAIN_STATE(TThenStateNode4, 'E', TThenStateNode2)
RC_CHAIN_STATE(TThenStateNode3, 'H', TThenStateNode4)
RC_CHAIN_STATE(TThenStateNode1, 'T', TThenStateNode3)

// wtElse "ELSE": 4 -> 2 -> 1 -> 3 -> 0
RC_FINAL_STATE(TElseStateNode0)
RC_CHAIN_STATE(TElseStateNode3, 'E', TElseStateNode0)
RC_CHAIN_STATE(TElseStateNode1, 'S', TElseStateNode3)
RC_CHAIN_STATE(TElseStateNode2, 'L', TElseStateNode1)
RC_CHAIN_STATE(TElseStateNode4, 'E', TElseStateNode2)

// wtContacter "||": 2 -> 1 -> 0
RC_FINAL_STATE(TContacterStateNode0)
RC_CHAIN_STATE(TContacterStateNode1, '|', TContacterStateNode0)
RC_CHAIN_STATE(TContacterStateNode2, '|', TContacterStateNode1)

// wtLg "LG": 1 -> 2 -> 0
RC_FINAL_STATE(TLgStateNode0)
RC_CHAIN_STATE(TLgStateNode2, 'G', TLgStateNode0)
RC_CHAIN_STATE(TLgStateNode1, 'L', TLgStateNode2)

// wtLength "LENGTH": 3 -> 6 -> 2 -> 5 -> 1 -> 4 -> 0
RC_FINAL_STATE(TLengthStateNode0)
RC_CHAIN_STATE(TLengthStateNode4, 'H', TLengthStateNode0)
RC_CHAIN_STATE(TLengthStateNode1, 'T', TLengthStateNode4)
RC_CHAIN_STATE(TLengthStateNode5, 'G', TLengthStateNode1)
RC_CHAIN_STATE(TLengthStateNode2, 'N', TLengthStateNode5)
RC_CHAIN_STATE(TLengthStateNode6, 'E', TLengthStateNode2)
RC_CHAIN_STATE(TLengthStateNode3, 'L', TLengthStateNode6)

// wtSubstr "SUBSTR": 3 -> 1 -> 6 -> 4 -> 2 -> 5 -> 0
RC_FINAL_STATE(TSubstrStateNode0)
RC_CHAIN_STATE(TSubstrStateNode5, 'R', TSubstrStateNode0)
RC_CHAIN_STATE(TSubstrStateNode2, 'T', TSubstrStateNode5)
RC_CHAIN_STATE(TSubstrStateNode4, 'S', TSubstrStateNode2)
RC_CHAIN_STATE(TSubstrStateNode6, 'B', TSubstrStateNode4)
RC_CHAIN_STATE(TSubstrStateNode1, 'U', TSubstrStateNode6)
RC_CHAIN_STATE(TSubstrStateNode3, 'S', TSubstrStateNode1)

// wtNvl "NVL": 2 -> 1 -> 3 -> 0
RC_FINAL_STATE(TnvlStateNode0)
RC_CHAIN_STATE(TnvlStateNode3, 'L', TnvlStateNode0)
RC_CHAIN_STATE(TnvlStateNode1, 'V', TnvlStateNode3)
RC_CHAIN_STATE(TnvlStateNode2, 'N', TnvlStateNode1)

// wtFindstr "FINDSTR": 6 -> 5 -> 4 -> 7 -> 2 -> 1 -> 3 -> 0
RC_FINAL_STATE(TFindstrStateNode0)
RC_CHAIN_STATE(TFindstrStateNode3, 'R', TFindstrStateNode0)
RC_CHAIN_STATE(TFindstrStateNode1, 'T', TFindstrStateNode3)
RC_CHAIN_STATE(TFindstrStateNode2, 'S', TFindstrStateNode1)
RC_CHAIN_STATE(TFindstrStateNode7, 'D', TFindstrStateNode2)
RC_CHAIN_STATE(TFindstrStateNode4, 'N', TFindstrStateNode7)
RC_CHAIN_STATE(TFindstrStateNode5, 'I', TFindstrStateNode4)
RC_CHAIN_STATE(TFindstrStateNode6, 'F', TFindstrStateNode5)

// wtTodate "TODATE": 1 -> 3 -> 5 -> 6 -> 2 -> 4 -> 0
RC_FINAL_STATE(TTodateStateNode0)
RC_CHAIN_STATE(TTodateStateNode4, 'E', TTodateStateNode0)
RC_CHAIN_STATE(TTodateStateNode2, 'T', TTodateStateNode4)
RC_CHAIN_STATE(TTodateStateNode6, 'A', TTodateStateNode2)
RC_CHAIN_STATE(TTodateStateNode5, 'D', TTodateStateNode6)
RC_CHAIN_STATE(TTodateStateNode3, 'O', TTodateStateNode5)
RC_CHAIN_STATE(TTodateStateNode1, 'T', TTodateStateNode3)

// wtTochar "TOCHAR": 1 -> 3 -> 5 -> 4 -> 6 -> 2 -> 0
RC_FINAL_STATE(TTocharStateNode0)
RC_CHAIN_STATE(TTocharStateNode2, 'R', TTocharStateNode0)
RC_CHAIN_STATE(TTocharStateNode6, 'A', TTocharStateNode2)
RC_CHAIN_STATE(TTocharStateNode4, 'H', TTocharStateNode6)
RC_CHAIN_STATE(TTocharStateNode5, 'C', TTocharStateNode4)
RC_CHAIN_STATE(TTocharStateNode3, 'O', TTocharStateNode5)
RC_CHAIN_STATE(TTocharStateNode1, 'T', TTocharStateNode3)

// wtAddyears "ADDYEARS": 8 -> 6 -> 5 -> 1 -> 4 -> 7 -> 3 -> 2 -> 0
RC_FINAL_STATE(TAddyearsStateNode0)
RC_CHAIN_STATE(TAddyearsStateNode2, 'S', TAddyearsStateNode0)
RC_CHAIN_STATE(TAddyearsStateNode3, 'R', TAddyearsStateNode2)
RC_CHAIN_STATE(TAddyearsStateNode7, 'A', TAddyearsStateNode3)
RC_CHAIN_STATE(TAddyearsStateNode4, 'E', TAddyearsStateNode7)
RC_CHAIN_STATE(TAddyearsStateNode1, 'Y', TAddyearsStateNode4)
RC_CHAIN_STATE(TAddyearsStateNode5, 'D', TAddyearsStateNode1)
RC_CHAIN_STATE(TAddyearsStateNode6, 'D', TAddyearsStateNode5)
RC_CHAIN_STATE(TAddyearsStateNode8, 'A', TAddyearsStateNode6)

// wtAddmonths "ADDMONTHS": 9 -> 8 -> 7 -> 5 -> 3 -> 4 -> 1 -> 6 -> 2 -> 0
RC_FINAL_STATE(TAddmonthsStateNode0)
RC_CHAIN_STATE(TAddmonthsStateNode2, 'S', TAddmonthsStateNode0)
RC_CHAIN_STATE(TAddmonthsStateNode6, 'H', TAddmonthsStateNode2)
RC_CHAIN_STATE(TAddmonthsStateNode1, 'T', TAddmonthsStateNode6)
RC_CHAIN_STATE(TAddmonthsStateNode4, 'N', TAddmonthsStateNode1)
RC_CHAIN_STATE(TAddmonthsStateNode3, 'O', TAddmonthsStateNode4)
RC_CHAIN_STATE(TAddmonthsStateNode5, 'M', TAddmonthsStateNode3)
RC_CHAIN_STATE(TAddmonthsStateNode7, 'D', TAddmonthsStateNode5)
RC_CHAIN_STATE(TAddmonthsStateNode8, 'D', TAddmonthsStateNode7)
RC_CHAIN_STATE(TAddmonthsStateNode9, 'A', TAddmonthsStateNode8)

// wtAdddays "ADDDAYS": 7 -> 3 -> 4 -> 5 -> 6 -> 1 -> 2 -> 0
RC_FINAL_STATE(TAdddaysStateNode0)
RC_CHAIN_STATE(TAdddaysStateNode2, 'S', TAdddaysStateNode0)
RC_CHAIN_STATE(TAdddaysStateNode1, 'Y', TAdddaysStateNode2)
RC_CHAIN_STATE(TAdddaysStateNode6, 'A', TAdddaysStateNode1)
RC_CHAIN_STATE(TAdddaysStateNode5, 'D', TAdddaysStateNode6)
RC_CHAIN_STATE(TAdddaysStateNode4, 'D', TAdddaysStateNode5)
RC_CHAIN_STATE(TAdddaysStateNode3, 'D', TAdddaysStateNode4)
RC_CHAIN_STATE(TAdddaysStateNode7, 'A', TAdddaysStateNode3)

// wtYear "YEAR": 1 -> 3 -> 4 -> 2 -> 0
RC_FINAL_STATE(TYearStateNode0)
RC_CHAIN_STATE(TYearStateNode2, 'R', TYearStateNode0)
RC_CHAIN_STATE(TYearStateNode4, 'A', TYearStateNode2)
RC_CHAIN_STATE(TYearStateNode3, 'E', TYearStateNode4)
RC_CHAIN_STATE(TYearStateNode1, 'Y', TYearStateNode3)

// wtMonth "MONTH": 4 -> 2 -> 3 -> 1 -> 5 -> 0
RC_FINAL_STATE(TMonthStateNode0)
RC_CHAIN_STATE(TMonthStateNode5, 'H', TMonthStateNode0)
RC_CHAIN_STATE(TMonthStateNode1, 'T', TMonthStateNode5)
RC_CHAIN_STATE(TMonthStateNode3, 'N', TMonthStateNode1)
RC_CHAIN_STATE(TMonthStateNode2, 'O', TMonthStateNode3)
RC_CHAIN_STATE(TMonthStateNode4, 'M', TMonthStateNode2)

// wtDay "DAY": 2 -> 3 -> 1 -> 0
RC_FINAL_STATE(TDayStateNode0)
RC_CHAIN_STATE(TDayStateNode1, 'Y', TDayStateNode0)
RC_CHAIN_STATE(TDayStateNode3, 'A', TDayStateNode1)
RC_CHAIN_STATE(TDayStateNode2, 'D', TDayStateNode3)

// wtLastday "LASTDAY": 4 -> 7 -> 3 -> 2 -> 5 -> 6 -> 1 -> 0
RC_FINAL_STATE(TLastdayStateNode0)
RC_CHAIN_STATE(TLastdayStateNode1, 'Y', TLastdayStateNode0)
RC_CHAIN_STATE(TLastdayStateNode6, 'A', TLastdayStateNode1)
RC_CHAIN_STATE(TLastdayStateNode5, 'D', TLastdayStateNode6)
RC_CHAIN_STATE(TLastdayStateNode2, 'T', TLastdayStateNode5)
RC_CHAIN_STATE(TLastdayStateNode3, 'S', TLastdayStateNode2)
RC_CHAIN_STATE(TLastdayStateNode7, 'A', TLastdayStateNode3)
RC_CHAIN_STATE(TLastdayStateNode4, 'L', TLastdayStateNode7)

// wtSemicolon ";": 1 -> 0
RC_FINAL_STATE(TSemicolonStateNode0)
RC_CHAIN_STATE(TSemicolonStateNode1, ';', TSemicolonStateNode0)

// wtComma ",": 1 -> 0
RC_FINAL_STATE(TCommaStateNode0)
RC_CHAIN_STATE(TCommaStateNode1, ',', TCommaStateNode0)

// wtLeftBracket "(": 1 -> 0
RC_FINAL_STATE(TLeftBracketStateNode0)
RC_CHAIN_STATE(TLeftBracketStateNode1, '(', TLeftBracketStateNode0)

// wtRightBracket ")": 1 -> 0
RC_FINAL_STATE(TRightBracketStateNode0)
RC_CHAIN_STATE(TRightBracketStateNode1, ')', TRightBracketStateNode0)

// wtAdd "+": 1 -> 0
RC_FINAL_STATE(TAddStateNode0)
RC_CHAIN_STATE(TAddStateNode1, '+', TAddStateNode0)

// wtSub "-": 1 -> 0
RC_FINAL_STATE(TSubStateNode0)
RC_CHAIN_STATE(TSubStateNode1, '-', TSubStateNode0)

// wtMul "*": 1 -> 0
RC_FINAL_STATE(TMulStateNode0)
RC_CHAIN_STATE(TMulStateNode1, '*', TMulStateNode0)

// wtDiv "/": 1 -> 0
RC_FINAL_STATE(TDivStateNode0)
RC_CHAIN_STATE(TDivStateNode1, '/', TDivStateNode0)

// wtEqual "=": 1 -> 0
RC_FINAL_STATE(TEqualStateNode0)
RC_CHAIN_STATE(TEqualStateNode1, '=', TEqualStateNode0)

// wtLess "<": 1 -> 0
RC_FINAL_STATE(TLessStateNode0)
RC_CHAIN_STATE(TLessStateNode1, '<', TLessStateNode0)

// wtGreat ">": 1 -> 0
RC_FINAL_STATE(TGreatStateNode0)
RC_CHAIN_STATE(TGreatStateNode1, '>', TGreatStateNode0)

// wtLessEqual "<=": 2 -> 1 -> 0
RC_FINAL_STATE(TLessEqualStateNode0)
RC_CHAIN_STATE(TLessEqualStateNode1, '=', TLessEqualStateNode0)
RC_CHAIN_STATE(TLessEqualStateNode2, '<', TLessEqualStateNode1)

// wtGreatEqual ">=": 1 -> 2 -> 0
RC_FINAL_STATE(TGreatEqualStateNode0)
RC_CHAIN_STATE(TGreatEqualStateNode2, '=', TGreatEqualStateNode0)
RC_CHAIN_STATE(TGreatEqualStateNode1, '>', TGreatEqualStateNode2)

// wtUnequal "<>": 2 -> 1 -> 0
RC_FINAL_STATE(TUnequalStateNode0)
RC_CHAIN_STATE(TUnequalStateNode1, '>', TUnequalStateNode0)
RC_CHAIN_STATE(TUnequalStateNode2, '<', TUnequalStateNode1)

// wtSpliter: one or more of tab, line feed, carriage return, space.
RC_STATE_CLASS(TSpliterStateNode0, true,
               if (IsBlankByte(byte)) return &Instance;
               return &TErrorNode::Instance;)
RC_STATE_CLASS(TSpliterStateNode1, false,
               if (IsBlankByte(byte)) return &TSpliterStateNode0::Instance;
               return &TErrorNode::Instance;)

// wtString: a double quote, any bytes but the double quote and NUL, a double quote.
RC_STATE_CLASS(TStringStateNode0, true, (void)byte; return &TErrorNode::Instance;)
RC_STATE_CLASS(TStringStateNode2, false,
               if (byte == '"') return &TStringStateNode0::Instance;
               if (byte == 0) return &TErrorNode::Instance;
               return &Instance;)
RC_STATE_CLASS(TStringStateNode1, false,
               if (byte == '"') return &TStringStateNode2::Instance;
               return &TErrorNode::Instance;)

// wtFieldName: an ASCII letter, then ASCII letters, digits and underscores.
RC_STATE_CLASS(TFieldNameStateNode0, true,
               if (IsAsciiLetter(byte) || IsAsciiDigit(byte) || byte == '_') return &Instance;
               return &TErrorNode::Instance;)
RC_STATE_CLASS(TFieldNameStateNode1, false,
               if (IsAsciiLetter(byte)) return &TFieldNameStateNode0::Instance;
               return &TErrorNode::Instance;)

// wtNumber: digits, optionally followed by a point and digits. State 2 (just
// after the point) does not accept, so "12." matches nothing.
RC_STATE_CLASS(TNumberStateNode0, true,
               if (IsAsciiDigit(byte)) return &Instance;
               return &TErrorNode::Instance;)
RC_STATE_CLASS(TNumberStateNode2, false,
               if (IsAsciiDigit(byte)) return &TNumberStateNode0::Instance;
               return &TErrorNode::Instance;)
RC_STATE_CLASS(TNumberStateNode1, true,
               if (IsAsciiDigit(byte)) return &Instance;
               if (byte == '.') return &TNumberStateNode2::Instance;
               return &TErrorNode::Instance;)
RC_STATE_CLASS(TNumberStateNode3, false,
               if (IsAsciiDigit(byte)) return &TNumberStateNode1::Instance;
               return &TErrorNode::Instance;)

#undef RC_CHAIN_STATE
#undef RC_FINAL_STATE
#undef RC_STATE_CLASS

}  // namespace rulecalc
