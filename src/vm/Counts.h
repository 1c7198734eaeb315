#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace rulecalc {

// A number used as a count (SUBSTR's start and length, the amounts of the
// ADD functions), truncated toward zero to a signed 32-bit integer. Values
// beyond the range stop at its ends; NaN counts as 0.
inline std::int32_t TruncateCount(double value) {
  if (std::isnan(value)) return 0;
  constexpr double low = std::numeric_limits<std::int32_t>::min();
  constexpr double high = std::numeric_limits<std::int32_t>::max();
  if (value <= low) return std::numeric_limits<std::int32_t>::min();
  if (value >= high) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

}  // namespace rulecalc
