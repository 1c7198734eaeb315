#pragma once

#include <cstdint>
#include <string>

#include "common/TypeCode.h"

namespace rulecalc {

// One instruction, copied by value. Every operand is a text.
struct SCodeStruct {
  std::uint8_t OpCode = 0;     // an EMOpCode value (others execute as no-ops)
  std::string Operand1;        // target register, label, or section marker
  std::string Operand2;        // source register, variable name, or constant
  std::uint8_t ValueType = kNumberType;  // the type of the value the record leaves
};

// Register names and section markers as they appear in operands.
inline constexpr const char* kRegC0 = "$C0";
inline constexpr const char* kRegC1 = "$C1";
inline constexpr const char* kRegR0 = "$R0";
inline constexpr const char* kRegS0 = "$S0";
inline constexpr const char* kRegS1 = "$S1";
inline constexpr const char* kRegRS = "$RS";
inline constexpr const char* kRegBR = "$BR";
inline constexpr const char* kRegBR1 = "$BR1";
inline constexpr const char* kMarkerIf = "$IF";
inline constexpr const char* kMarkerThen = "$THEN";
inline constexpr const char* kMarkerElse = "$ELSE";

}  // namespace rulecalc
