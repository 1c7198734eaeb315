#pragma once

#include "vm/OpCode.h"
#include "vm/VirtualMachine.h"

namespace rulecalc {

// A number comparison: equality within EqualEpsilon, the order otherwise.
// Equal numbers are equal however large: from 2^24 on the tolerance is
// below a number's precision, and the window alone would hold nothing.
inline bool CompareNumbers(EMOpCode op, double left, double right) {
  const bool equal = left == right || (right - EqualEpsilon < left && left < right + EqualEpsilon);
  switch (op) {
    case opLess: return left < right;
    case opGreat: return left > right;
    case opEqual: return equal;
    case opUnequal: return !equal;
    case opLessEqual: return left <= right;
    default: return left >= right;
  }
}

// A null number counts as 0 in arithmetic.
inline double NullAsZero(double value) { return value == NullNumber ? 0.0 : value; }

// The arithmetic of opAdd, opSub, opMul and opDiv: null numbers count as 0,
// and a zero divisor gives 0.
inline double ArithmeticOf(EMOpCode op, double left, double right) {
  left = NullAsZero(left);
  right = NullAsZero(right);
  switch (op) {
    case opAdd: return left + right;
    case opSub: return left - right;
    case opMul: return left * right;
    default: return right == 0.0 ? 0.0 : left / right;
  }
}

}  // namespace rulecalc
