#include "vm/Registers.h"

namespace rulecalc {

EMRegister RegisterNamed(std::string_view name) {
  if (name.size() < 3 || name.size() > 4 || name[0] != '$') return rNone;
  if (name == "$C0") return rC0;
  if (name == "$C1") return rC1;
  if (name == "$R0") return rR0;
  if (name == "$BR") return rBR;
  if (name == "$BR1") return rBR1;
  if (name == "$S0") return rS0;
  if (name == "$S1") return rS1;
  if (name == "$RS") return rRS;
  return rNone;
}

double& NumberRegister(SRegisters& regs, EMRegister r) {
  if (r == rC1) return regs.C1;
  if (r == rR0) return regs.R0;
  return regs.C0;
}

bool& BooleanRegister(SRegisters& regs, EMRegister r) { return r == rBR1 ? regs.BR1 : regs.BR; }

std::string& TextRegister(SRegisters& regs, EMRegister r) {
  if (r == rS1) return regs.S1;
  if (r == rRS) return regs.RS;
  return regs.S0;
}

}  // namespace rulecalc
