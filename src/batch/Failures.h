#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace rulecalc::batch {

// A mistake in an option or in the files the engine was given; the message
// is passed on as it is (RULECALC_BATCH_UNUSABLE).
class TUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file that cannot be opened or read.
class TReadError : public TUsageError {
 public:
  using TUsageError::TUsageError;
};

// Text that cannot be turned into GBK (invalid in its encoding, or a
// character GBK lacks), with the offset of the byte where it fails.
class TConversionError : public std::runtime_error {
 public:
  explicit TConversionError(const std::string& message, std::size_t badOffset = 0)
      : std::runtime_error(message), BadOffset(badOffset) {}

  std::size_t BadOffset;
};

// Memory ran out (std::bad_alloc is taken the same way); the message says
// what was stopped (RULECALC_BATCH_OUT_OF_MEMORY).
class TMemoryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace rulecalc::batch
