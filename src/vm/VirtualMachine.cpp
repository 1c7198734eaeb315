#include "vm/VirtualMachine.h"

#include <charconv>
#include <cstring>
#include <utility>

#include "vm/NumberText.h"

namespace rulecalc {

TVirtualMachine::TVirtualMachine(TTokenAnalyser& tokeniser, const SHostEnvironment& environment)
    : FloatStack(kStackCapacity, 0.0),
      StringStack(kStackCapacity),
      Tokeniser(tokeniser),
      Environment(environment) {}

void TVirtualMachine::AddCode(std::uint8_t opCode, std::string_view operand1,
                              std::string_view operand2, std::uint8_t valueType) {
  if (Prepared.size() == Prepared.capacity()) Prepared.reserve(Prepared.size() * 2 + 16);
  SCodeStruct& record = Code.emplace_back();
  try {
    record.Operand1.assign(operand1);
    record.Operand2.assign(operand2);
  } catch (...) {
    Code.pop_back();
    throw;
  }
  record.OpCode = opCode;
  record.ValueType = valueType;
  Prepared.push_back(Prepare(record));  // cannot throw: capacity reserved
}

SPreparedCode TVirtualMachine::Prepare(const SCodeStruct& record) {
  SPreparedCode prepared;
  const EMRegister target = RegisterNamed(record.Operand1);
  const EMRegister source = RegisterNamed(record.Operand2);
  if (IsNumberRegister(target)) prepared.NumberTarget = &NumberRegister(Registers, target);
  if (IsNumberRegister(source)) prepared.NumberSource = &NumberRegister(Registers, source);
  if (IsBooleanRegister(target)) prepared.BooleanTarget = &BooleanRegister(Registers, target);
  if (IsTextRegister(target)) prepared.TextTarget = &TextRegister(Registers, target);
  if (IsTextRegister(source)) prepared.TextSource = &TextRegister(Registers, source);
  if (record.OpCode == opNOP && !record.Operand1.empty() && record.Operand1[0] == '$') {
    if (record.Operand1 == kMarkerIf) prepared.Marker = EMSection::If;
    else if (record.Operand1 == kMarkerThen) prepared.Marker = EMSection::Then;
    else if (record.Operand1 == kMarkerElse) prepared.Marker = EMSection::Else;
  }
  // Number literals in a sentence are always written with a point.
  if (record.OpCode == opMovD)
    prepared.ConstantIsNumber = ReadNumber(record.Operand2, '.', prepared.Constant);
  return prepared;
}

void TVirtualMachine::PrepareAll() {
  Prepared.clear();
  Prepared.reserve(Code.size());
  for (const SCodeStruct& record : Code) Prepared.push_back(Prepare(record));
  JumpsResolvedFor = 0;
}

// "Label" followed by the counter in decimal, written into the label buffer.
std::string TVirtualMachine::NewLabel() {
  ++LabelCount;
  static constexpr char kPrefix[] = "Label";
  constexpr std::size_t prefixLength = sizeof kPrefix - 1;
  std::memcpy(LabelBuffer, kPrefix, prefixLength);
  char* const end = LabelBuffer + sizeof LabelBuffer - 1;
  const auto written = std::to_chars(LabelBuffer + prefixLength, end, LabelCount);
  *written.ptr = '\0';
  return std::string(LabelBuffer, written.ptr);
}

void TVirtualMachine::ClearMemory() {
  Registers.BR = Registers.BR1 = false;
  Registers.C0 = Registers.C1 = Registers.R0 = 0.0;
  Registers.S0.clear();
  Registers.S1.clear();
  Registers.RS.clear();
  FloatTop = 0;
  StringTop = 0;
  RuntimeError.clear();
  Vars.Clear();
  LoadedNumbers.clear();
  ClearCode();
}

void TVirtualMachine::ClearCode() {
  LabelCount = 0;
  Code.clear();
  Prepared.clear();
  JumpsResolvedFor = 0;
}

}  // namespace rulecalc
