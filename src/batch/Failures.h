#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>


namespace rulecalc::batch {

// A mistake in how the tool was called or in the files it was given; the
// message is shown as it is and the tool ends with the usage status.
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

// Output that could not be written (a full disk, a closed pipe); the tool
// ends with the output status.
class TOutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Standard output's reader stopped reading (`rulecalc ... | head`): the tool
// ends with the output status, without a message, as the reader chose this.
class TClosedOutput : public TOutputError {
 public:
  using TOutputError::TOutputError;
};

// Memory ran out (std::bad_alloc ends the tool the same way); the message
// says what was stopped and the tool ends with the out-of-memory status.
class TMemoryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace rulecalc::batch
