#include <array>

#include "common/Messages.h"
#include "vm/NumberComparison.h"
#include "vm/VirtualMachine.h"

// Superinstructions: runs of records whose actions the analyser emits
// together (load an operand and push it, load the right operand and apply
// the operator, compare with a constant, pop the left truth value and join)
// are executed as one step. Each step does what its members do, in the same
// order, through the same prepared registers, and stops where a member would
// stop, so any code list runs the same with them on or off. Only the first
// member's action changes; a jump lands after a label record, and a label is
// never a member, so no jump enters a run in its middle.

namespace rulecalc {

namespace {

struct SPattern {
  EMAction Fused;
  std::size_t Length;
  std::array<EMAction, 4> Members;
};

constexpr SPattern kPatterns[] = {
    {EMAction::ConstantRightOperand, 4,
     {EMAction::LoadNumberConstant, EMAction::MoveNumber, EMAction::PopNumber, EMAction::Arithmetic}},
    {EMAction::VariableRightOperand, 4,
     {EMAction::LoadNumberVariable, EMAction::MoveNumber, EMAction::PopNumber, EMAction::Arithmetic}},
    {EMAction::CompareVariableWithConstant, 4,
     {EMAction::LoadNumberVariable, EMAction::MoveNumber, EMAction::LoadNumberConstant, EMAction::CompareNumbers}},
    {EMAction::CompareVariables, 4,
     {EMAction::LoadNumberVariable, EMAction::MoveNumber, EMAction::LoadNumberVariable, EMAction::CompareNumbers}},
    {EMAction::LoadAndPushNumber, 2, {EMAction::LoadNumberVariable, EMAction::PushNumber}},
    {EMAction::CompareWithConstant, 3, {EMAction::MoveNumber, EMAction::LoadNumberConstant, EMAction::CompareNumbers}},
    {EMAction::PopAndLogic, 2, {EMAction::PopBoolean, EMAction::Logic}},
};

bool Matches(const std::vector<SPreparedCode>& prepared, std::size_t at, const SPattern& pattern) {
  if (at + pattern.Length > prepared.size()) return false;
  for (std::size_t k = 0; k < pattern.Length; ++k)
    if (prepared[at + k].Own != pattern.Members[k]) return false;
  // A variable loaded into no register is looked up and dropped: left alone.
  for (std::size_t k = 0; k < pattern.Length; ++k)
    if (prepared[at + k].Own == EMAction::LoadNumberVariable && prepared[at + k].NumberTarget == nullptr) return false;
  return true;
}

// The superinstruction that starts at the record, and how many records it spans.
std::size_t FuseAt(std::vector<SPreparedCode>& prepared, std::size_t at) {
  for (const SPattern& pattern : kPatterns) {
    if (!Matches(prepared, at, pattern)) continue;
    prepared[at].Action = pattern.Fused;
    return pattern.Length;
  }
  return 1;
}

}  // namespace

void TVirtualMachine::UnfuseAll() {
  for (SPreparedCode& prepared : Prepared) {
    prepared.Action = prepared.Own;
    prepared.Expression = -1;
  }
  RegisterForms.clear();
  FusedFor = Code.size();
  FusedWith = UseSuperinstructions;
  RegistersWith = UseRegisterCode;
  FusionDue = UseSuperinstructions || UseRegisterCode;
}

void TVirtualMachine::FuseAll() {
  if (UseSuperinstructions)
    for (std::size_t at = 0; at < Prepared.size();) at += FuseAt(Prepared, at);
  CompileRegisterForms();
  FusionDue = false;
}

// opMovF into a number register, then opPush of a number register.
bool TVirtualMachine::LoadAndPushNumber(std::size_t pc) {
  if (!LoadNumberVariable(pc)) return false;
  double* slot = PushSlot(FloatStack, FloatTop);
  if (slot == nullptr) return Fail(mFloatStackOverflow);
  *slot = *Prepared[pc + 1].NumberTarget;
  return true;
}

// A constant or a variable into a number register, opMovR between number
// registers, opPop into a number register, then the arithmetic.
bool TVirtualMachine::RightOperand(std::size_t pc, bool fromVariable) {
  const SPreparedCode& load = Prepared[pc];
  if (fromVariable) {
    if (!LoadNumberVariable(pc)) return false;
  } else {
    *load.NumberTarget = load.Constant;
  }
  const SPreparedCode& move = Prepared[pc + 1];
  *move.NumberTarget = *move.NumberSource;
  if (FloatTop <= 0) return Fail(mFloatStackOverflow);
  *Prepared[pc + 2].NumberTarget = FloatStack[static_cast<std::size_t>(--FloatTop)];
  ExecuteArithmetic(Prepared[pc + 3].Op);
  return true;
}

// opMovR between number registers, opMovD into a number register, then a
// number comparison and its explanation.
void TVirtualMachine::CompareWithConstant(std::size_t pc, SRunState& run) {
  const SPreparedCode& move = Prepared[pc];
  *move.NumberTarget = *move.NumberSource;
  const SPreparedCode& constant = Prepared[pc + 1];
  *constant.NumberTarget = constant.Constant;
  Registers.BR = CompareNumbers(Prepared[pc + 2].Op, Registers.R0, Registers.C0);
  ExplainComparison(run, Prepared[pc + 2]);
}

// opMovF into a number register, opMovR between number registers, opMovF
// into a number register, then a number comparison and its explanation.
bool TVirtualMachine::CompareVariables(std::size_t pc, SRunState& run) {
  if (!LoadNumberVariable(pc)) return false;
  const SPreparedCode& move = Prepared[pc + 1];
  *move.NumberTarget = *move.NumberSource;
  if (!LoadNumberVariable(pc + 2)) return false;
  Registers.BR = CompareNumbers(Prepared[pc + 3].Op, Registers.R0, Registers.C0);
  ExplainComparison(run, Prepared[pc + 3]);
  return true;
}

// opPop into $BR or $BR1, then AND or OR.
bool TVirtualMachine::PopAndLogic(std::size_t pc) {
  if (FloatTop <= 0) return Fail(mFloatStackOverflow);
  *Prepared[pc].BooleanTarget = FloatStack[static_cast<std::size_t>(--FloatTop)] != 0.0;
  ExecuteLogic(Prepared[pc + 1].Op);
  return true;
}

}  // namespace rulecalc
