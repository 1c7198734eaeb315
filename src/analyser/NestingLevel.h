#pragma once

#include "analyser/Semanticanalysor.h"

namespace rulecalc {

// Counts one level of brackets, calls or NOTs while it lives.
class TNestingLevel {
 public:
  explicit TNestingLevel(int& depth) : Depth(++depth) {}
  ~TNestingLevel() { --Depth; }
  TNestingLevel(const TNestingLevel&) = delete;
  TNestingLevel& operator=(const TNestingLevel&) = delete;
  bool TooDeep() const { return Depth > kMaxNestingDepth; }

 private:
  int& Depth;
};

}  // namespace rulecalc
