#pragma once

#include <cstddef>
#include <string_view>

namespace rulecalc {

// Folds an ASCII lower-case letter to its capital; every other byte, also
// inside a double-byte GBK character, stays as it is.
constexpr char FoldAsciiCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c; }

// Two names are the same when they have the same bytes after folding a-z to
// capitals. No trimming, no other folding.
inline bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) return false;
  return true;
}

}  // namespace rulecalc
