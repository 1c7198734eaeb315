#pragma once

#include <cstddef>
#include <string_view>

namespace rulecalc {

// Length of the character at byte offset i of a GBK text: 2 for a lead byte
// (0x81-0xFE) followed by a trail byte (0x40-0xFE except 0x7F), else 1. Code
// that gives ASCII letters a meaning uses it so that a trail byte is never
// taken for a letter.
inline std::size_t GbkCharLength(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x81 || lead == 0xFF || i + 1 >= text.size()) return 1;
  const auto trail = static_cast<unsigned char>(text[i + 1]);
  return (trail >= 0x40 && trail != 0x7F && trail != 0xFF) ? 2 : 1;
}

}  // namespace rulecalc
