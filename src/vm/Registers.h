#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rulecalc {

// The machine's registers. Instructions name them by text; the names are
// resolved once, when an instruction is added to the code list.
struct SRegisters {
  bool BR = false;   // $BR: result of the last comparison, AND or OR
  bool BR1 = false;  // $BR1: left operand of AND and OR
  double C0 = 0.0;   // $C0: number accumulator
  double C1 = 0.0;   // $C1: right operand of arithmetic, second number argument
  double R0 = 0.0;   // $R0: left side of a number comparison
  std::string S0;    // $S0: text accumulator
  std::string S1;    // $S1: right operand of ||, second text argument
  std::string RS;    // $RS: left side of a text comparison
};

// A register named in an operand; rNone for any other text.
enum EMRegister : std::uint8_t { rNone, rC0, rC1, rR0, rBR, rBR1, rS0, rS1, rRS };

// Exact match of the register names ("$C0", ...); anything else is rNone.
EMRegister RegisterNamed(std::string_view name);

inline bool IsNumberRegister(EMRegister r) { return r == rC0 || r == rC1 || r == rR0; }
inline bool IsBooleanRegister(EMRegister r) { return r == rBR || r == rBR1; }
inline bool IsTextRegister(EMRegister r) { return r == rS0 || r == rS1 || r == rRS; }

// The number register r of regs; r must satisfy IsNumberRegister.
double& NumberRegister(SRegisters& regs, EMRegister r);
// The boolean register r of regs; r must satisfy IsBooleanRegister.
bool& BooleanRegister(SRegisters& regs, EMRegister r);
// The text register r of regs; r must satisfy IsTextRegister.
std::string& TextRegister(SRegisters& regs, EMRegister r);

}  // namespace rulecalc
