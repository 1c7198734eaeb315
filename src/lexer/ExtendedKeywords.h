#pragma once

#include <string_view>

#include "lexer/WordType.h"

namespace rulecalc {

// The extended language's keyword spelt by the identifier (letters in
// either case), or wtFieldName when it spells none.
EMWordType ExtendedKeywordKind(std::string_view identifier);

// The keyword's spelling in capitals; "" for a kind that is no extended keyword.
std::string_view ExtendedKeywordSpelling(EMWordType kind);

inline bool IsExtendedKeyword(EMWordType kind) {
  return kind >= kFirstExtendedKind && kind <= kLastExtendedKind;
}

}  // namespace rulecalc
