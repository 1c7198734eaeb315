#include "boundary/ResultBuffer.h"

#include <cstring>

namespace rulecalc {

const char* SResultBuffer::Hold(std::string_view text) {
  const std::size_t terminator = text.find('\0');
  if (terminator != std::string_view::npos) text = text.substr(0, terminator);
  const std::size_t limit = kResultBufferSize - 1;
  const std::size_t count = text.size() < limit ? text.size() : limit;
  if (count > 0) std::memcpy(Bytes, text.data(), count);
  std::memset(Bytes + count, 0, limit - count);
  return Bytes;
}

}  // namespace rulecalc
