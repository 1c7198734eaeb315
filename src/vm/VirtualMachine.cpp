#include "vm/VirtualMachine.h"

#include <charconv>
#include <cstring>
#include <utility>

#include "vm/Builtins.h"
#include "vm/NumberText.h"

namespace rulecalc {

TVirtualMachine::TVirtualMachine(TTokenAnalyser& tokeniser, const SHostEnvironment& environment,
                                 TVarTable* sharedVariables)
    : Vars(sharedVariables != nullptr ? *sharedVariables : OwnVars),
      Tokeniser(tokeniser),
      Environment(environment) {}

void TVirtualMachine::AddCode(std::uint8_t opCode, std::string_view operand1,
                              std::string_view operand2, std::uint8_t valueType) {
  if (Prepared.size() == Prepared.capacity()) Prepared.reserve(Prepared.size() * 2 + 16);
  // Built whole and moved in: a record that cannot be made adds nothing.
  SCodeStruct& record = Code.emplace_back(SCodeStruct{opCode, std::string(operand1), std::string(operand2), valueType});
  Prepared.push_back(Prepare(record));  // cannot throw: capacity reserved
}

namespace {

// "#n": n; "#" or anything else after "#": no condition.
std::int32_t ConditionNumber(std::string_view operand) {
  std::int32_t number = kNoCondition;
  const char* end = operand.data() + operand.size();
  const auto read = std::from_chars(operand.data() + 1, end, number);
  return (read.ec == std::errc() && read.ptr == end && number >= 0) ? number : kNoCondition;
}

}  // namespace

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
  // Number literals in a sentence are always written with a point; a
  // constant that is not a number loads the null number.
  if (record.OpCode == opMovD)
    prepared.ConstantIsNumber = ReadNumber(record.Operand2, '.', prepared.Constant);
  if (!prepared.ConstantIsNumber) prepared.Constant = NullNumber;
  prepared.Op = static_cast<EMOpCode>(record.OpCode);
  prepared.ValueType = record.ValueType;
  if (!record.Operand1.empty() && record.Operand1[0] == '#') prepared.Condition = ConditionNumber(record.Operand1);
  prepared.Action = prepared.Own = ActionOf(record, prepared);
  return prepared;
}

namespace {

EMAction ComparisonAction(std::uint8_t valueType) {
  if (valueType == kNumberType) return EMAction::CompareNumbers;
  return valueType == kTextType ? EMAction::CompareTexts : EMAction::ExplainOnly;
}

// Moves and loads take the number registers with the number value type and
// the text registers with the text value type; a variable is looked up even when the target
// names no register, so that a missing one still stops the run.
EMAction MoveAction(EMOpCode op, std::uint8_t valueType, const SPreparedCode& p) {
  if (valueType == kNumberType) {
    if (op == opMovF) return EMAction::LoadNumberVariable;
    if (p.NumberTarget == nullptr) return EMAction::Nothing;
    if (op == opMovD) return EMAction::LoadNumberConstant;
    return p.NumberSource != nullptr ? EMAction::MoveNumber : EMAction::Nothing;
  }
  if (valueType == kTextType) {
    if (op == opMovF) return EMAction::LoadTextVariable;
    if (p.TextTarget == nullptr) return EMAction::Nothing;
    if (op == opMovD) return EMAction::LoadTextConstant;
    return p.TextSource != nullptr ? EMAction::MoveText : EMAction::Nothing;
  }
  return EMAction::Nothing;
}

// A register the stack operation does not take pushes 0 (or the empty text);
// popping into one drops the entry.
EMAction StackAction(EMOpCode op, std::uint8_t valueType, const SPreparedCode& p) {
  const bool push = op == opPush;
  if (valueType == kNumberType) {
    if (p.NumberTarget != nullptr) return push ? EMAction::PushNumber : EMAction::PopNumber;
    if (p.BooleanTarget != nullptr) return push ? EMAction::PushBoolean : EMAction::PopBoolean;
    return push ? EMAction::PushZero : EMAction::PopNumberAway;
  }
  if (valueType == kTextType) {
    if (p.TextTarget != nullptr) return push ? EMAction::PushText : EMAction::PopText;
    return push ? EMAction::PushEmptyText : EMAction::PopTextAway;
  }
  return EMAction::Nothing;
}

}  // namespace

EMAction TVirtualMachine::ActionOf(const SCodeStruct& record, const SPreparedCode& p) {
  const auto op = static_cast<EMOpCode>(record.OpCode);
  switch (op) {
    case opAdd: case opSub: case opMul: case opDiv: return EMAction::Arithmetic;
    case opLess: case opGreat: case opEqual: case opUnequal: case opLessEqual: case opGreatEqual:
      return ComparisonAction(record.ValueType);
    case opMovR: case opMovF: case opMovD: return MoveAction(op, record.ValueType, p);
    case opPush: case opPop: return StackAction(op, record.ValueType, p);
    case opAnd: case opOr: return EMAction::Logic;
    case opContact: return EMAction::Contact;
    case opJMP: return EMAction::Jump;
    case opJNB: return EMAction::JumpIfFalse;
    case opNOP: return p.Marker != EMSection::None ? EMAction::Marker : EMAction::Nothing;
    case opNot: return EMAction::Negate;
    case opMark: return EMAction::OpenGroup;
    case opExplain: return EMAction::ExplainGroup;
    case opUnmark: return EMAction::CloseGroup;
    default: return IsBuiltin(op) ? EMAction::Builtin : EMAction::Nothing;
  }
}

void TVirtualMachine::PrepareAll() {
  Prepared.clear();
  Prepared.reserve(Code.size());
  for (const SCodeStruct& record : Code) Prepared.push_back(Prepare(record));
  JumpsResolvedFor = 0;
  FusedFor = 0;
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
  ResetRunState();
  Notes.clear();
  Vars.Clear();
  LoadedNumbers.clear();
  ClearCode();
}

void TVirtualMachine::ResetRunState() {
  Registers.BR = Registers.BR1 = false;
  Registers.C0 = Registers.C1 = Registers.R0 = 0.0;
  Registers.S0.clear();
  Registers.S1.clear();
  Registers.RS.clear();
  FloatTop = 0;
  StringTop = 0;
  DropExplanation();
  StoppedByError = false;
}

void TVirtualMachine::ReserveCode(std::size_t records) {
  Code.reserve(records);
  Prepared.reserve(records);
}

void TVirtualMachine::ClearCode() {
  LabelCount = 0;
  Code.clear();
  Prepared.clear();
  Places.clear();
  Conditions.clear();
  JumpsResolvedFor = 0;
  FusedFor = 0;
}

}  // namespace rulecalc
