#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "support/TestCalc.h"
#include "vm/OpCode.h"

namespace rulecalc::testing {

// One expected record: opcode, both operands, value type.
struct SCode {
  int Op;
  std::string Operand1;
  std::string Operand2;
  int Type;
  bool operator==(const SCode& other) const {
    return Op == other.Op && Operand1 == other.Operand1 && Operand2 == other.Operand2 && Type == other.Type;
  }
};

inline std::ostream& operator<<(std::ostream& out, const SCode& c) {
  return out << "{" << OpCodeTable()[c.Op].Name << ", \"" << c.Operand1 << "\", \"" << c.Operand2
             << "\", " << c.Type << "}";
}

inline std::vector<SCode> CodeOf(const TRuleCalc& calc) {
  std::vector<SCode> code;
  for (const SCodeStruct& r : calc.Machine.Code) code.push_back({r.OpCode, r.Operand1, r.Operand2, r.ValueType});
  return code;
}

// A calculator with number variables A, B, C, D and text variables S, T.
inline std::unique_ptr<TRuleCalc> CalcWithVariables() {
  auto calc = MakeCalc();
  for (const char* name : {"A", "B", "C", "D"}) calc->SetVarValue(name, "1", 0);
  for (const char* name : {"S", "T"}) calc->SetVarValue(name, "x", 1);
  return calc;
}

}  // namespace rulecalc::testing
