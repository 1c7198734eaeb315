#pragma once

#include <cstddef>
#include <string_view>

namespace rulecalc {

constexpr std::size_t kResultBufferSize = 2048;

// The one buffer behind every text a getter returns. Its last byte is never
// written, so what it holds is always terminated.
struct SResultBuffer {
  char Bytes[kResultBufferSize] = {};

  // Copies the text up to its first NUL, at most 2047 bytes (a longer text is
  // cut, even inside a double-byte character), fills the rest of the first
  // 2047 bytes with NUL, and returns the buffer.
  const char* Hold(std::string_view text);
};

}  // namespace rulecalc
