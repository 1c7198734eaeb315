#pragma once

#include <cstdint>

#include "platform/HostEnvironment.h"
#include "vm/OpCode.h"
#include "vm/Registers.h"

namespace rulecalc {

// True for the built-in opcodes: the classic fourteen (opLength .. opLastday,
// opLg) and the extended language's functions (opTrim .. opFindstrc).
bool IsBuiltin(EMOpCode op);

// Executes a built-in opcode on the registers. Built-ins never fail: a value
// they cannot produce becomes its fallback (0, the empty text, -1).
void ExecuteBuiltin(EMOpCode op, std::uint8_t valueType, SRegisters& regs, const SHostEnvironment& env);

}  // namespace rulecalc
