#pragma once

#include "vm/OpCode.h"
#include "vm/VirtualMachine.h"

namespace rulecalc {

// A number comparison: equality within EqualEpsilon, the order otherwise.
inline bool CompareNumbers(EMOpCode op, double left, double right) {
  const bool equal = right - EqualEpsilon < left && left < right + EqualEpsilon;
  switch (op) {
    case opLess: return left < right;
    case opGreat: return left > right;
    case opEqual: return equal;
    case opUnequal: return !equal;
    case opLessEqual: return left <= right;
    default: return left >= right;
  }
}

}  // namespace rulecalc
