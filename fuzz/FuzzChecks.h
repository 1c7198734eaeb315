#pragma once

// Checks shared by the fuzz targets. A failed check prints what was expected
// and aborts, so that libFuzzer records the input as a crash.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "boundary/ResultBuffer.h"
#include "rulecalc.h"

namespace rulecalc::fuzzing {

inline void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "rulecalc fuzz check failed: %s\n", what);
  std::abort();
}

inline void RequireSame(const std::string& a, const std::string& b, const char* what) {
  if (a == b) return;
  std::fprintf(stderr, "rulecalc fuzz check failed: %s\n  first:  [%s]\n  second: [%s]\n", what,
               a.c_str(), b.c_str());
  std::abort();
}

// A text a getter returned: never null, terminated inside the result buffer.
inline std::string Held(const char* text) {
  Require(text != nullptr, "a getter returned a null pointer");
  Require(strnlen(text, kResultBufferSize) < kResultBufferSize, "a getter's text is not terminated");
  return std::string(text);
}

// A text a handle returned: never null.
inline std::string Whole(const char* text) {
  Require(text != nullptr, "a handle returned a null text");
  return std::string(text);
}

// Every warning of the handle's last analysis has a message and a position
// inside the sentence.
inline void RequireWarningsInside(rulecalc_handle* calc, std::size_t sentenceLength) {
  for (std::size_t i = 0; i < rulecalc_warning_count(calc); ++i) {
    std::int32_t position = -1;
    std::size_t length = 0;
    const char* message = rulecalc_warning(calc, i, &position, &length);
    Require(message != nullptr && length > 0 && std::strlen(message) == length, "a warning without its message");
    Require(position >= 0 && static_cast<std::size_t>(position) < sentenceLength, "a warning outside the sentence");
  }
  Require(rulecalc_warning(calc, rulecalc_warning_count(calc), nullptr, nullptr) == nullptr,
          "a warning past the last one");
}

}  // namespace rulecalc::fuzzing
