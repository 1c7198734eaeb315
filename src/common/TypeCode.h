#pragma once

#include <cstdint>

namespace rulecalc {

// The type codes a host gives its variables. The same codes are the value
// types of the machine's instructions: the type of the value a record leaves.
inline constexpr std::uint8_t kNumberType = 0;  // numbers and dates
inline constexpr std::uint8_t kTextType = 1;    // GBK texts

}  // namespace rulecalc
