#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rulecalc {

// The run-time texts of a table of rows, in one buffer: each text followed
// by a NUL, the empty text for a row that held.
class TRowTexts {
 public:
  void Clear() noexcept;
  // Makes room for a table of rows; may throw std::bad_alloc.
  void Reserve(std::size_t rows);
  // The next row's text; may throw std::bad_alloc.
  void Add(std::string_view text);
  // The text of a row, NUL-terminated; "" for a row out of range.
  std::string_view Text(std::size_t row) const noexcept;

 private:
  std::string Buffer;
  std::vector<std::size_t> Starts;  // where each row's text starts in Buffer
};

}  // namespace rulecalc
