#include "vm/VirtualMachine.h"

#include <cstdio>
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
  SCodeStruct record{opCode, std::string(operand1), std::string(operand2), valueType};
  if (Prepared.size() == Prepared.capacity()) Prepared.reserve(Prepared.size() * 2 + 16);
  Code.push_back(std::move(record));
  Prepared.push_back(Prepare(Code.back()));  // cannot throw: capacity reserved
}

SPreparedCode TVirtualMachine::Prepare(const SCodeStruct& record) {
  SPreparedCode prepared;
  prepared.Target = RegisterNamed(record.Operand1);
  prepared.Source = RegisterNamed(record.Operand2);
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

std::string TVirtualMachine::NewLabel() {
  ++LabelCount;
  std::snprintf(LabelBuffer, sizeof LabelBuffer, "%s%d", "Label", static_cast<int>(LabelCount));
  return std::string(LabelBuffer);
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
  LabelCount = 0;
  Vars.Clear();
  Code.clear();
  Prepared.clear();
  JumpsResolvedFor = 0;
}

}  // namespace rulecalc
