#pragma once

// Checks shared by the fuzz targets. A failed check prints what was expected
// and aborts, so that libFuzzer records the input as a crash.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "boundary/ResultBuffer.h"

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

}  // namespace rulecalc::fuzzing
