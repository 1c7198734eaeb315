#include "boundary/RowTexts.h"

namespace rulecalc {

void TRowTexts::Clear() noexcept {
  Buffer.clear();
  Starts.clear();
}

void TRowTexts::Reserve(std::size_t rows) {
  Starts.reserve(rows);
  Buffer.reserve(rows);
}

void TRowTexts::Add(std::string_view text) {
  Starts.push_back(Buffer.size());
  Buffer.append(text);
  Buffer.push_back('\0');
}

std::string_view TRowTexts::Text(std::size_t row) const noexcept {
  if (row >= Starts.size()) return {};
  const std::size_t start = Starts[row];
  const std::size_t end = row + 1 < Starts.size() ? Starts[row + 1] : Buffer.size();
  return std::string_view(Buffer).substr(start, end - start - 1);
}

}  // namespace rulecalc
