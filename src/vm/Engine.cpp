#include <string>
#include <unordered_map>

#include "common/Messages.h"
#include "common/NameFold.h"
#include "vm/Builtins.h"
#include "vm/NumberText.h"
#include "vm/VirtualMachine.h"

namespace rulecalc {

bool TVirtualMachine::Run() {
  if (Code.empty()) {
    Registers.BR = true;
    return true;
  }
  if (Prepared.size() != Code.size()) PrepareAll();
  if (JumpsResolvedFor != Code.size()) ResolveJumps();
  if (UseExplanationCache) Explanations.UseSentence(Tokeniser.Sentence);
  SRunState run;
  const bool holds = RunCode(run);
  run.PendingEnd.ApplyTo(Tokeniser);
  return holds;
}

bool TVirtualMachine::RunCode(SRunState& run) {
  const std::size_t count = Code.size();  // running never changes the code list
  for (std::size_t pc = 0; pc < count; ++pc)
    if (Execute(pc, run) == EMStep::Stop) return false;
  return FinishRun(run);
}

TVirtualMachine::EMStep TVirtualMachine::Execute(std::size_t& pc, SRunState& run) {
  const SCodeStruct& ins = Code[pc];
  SPreparedCode& prepared = Prepared[pc];
  const auto op = static_cast<EMOpCode>(ins.OpCode);
  switch (op) {
    case opAdd: case opSub: case opMul: case opDiv:
      ExecuteArithmetic(op);
      return EMStep::Next;
    case opLess: case opGreat: case opEqual: case opUnequal: case opLessEqual: case opGreatEqual:
      ExecuteComparison(op, ins.ValueType, run);
      return EMStep::Next;
    case opMovR: case opMovF: case opMovD:
      return ExecuteMove(ins, prepared);
    case opPush:
      return ExecutePush(ins.ValueType, prepared);
    case opPop:
      return ExecutePop(ins.ValueType, prepared);
    case opAnd: case opOr:
      ExecuteLogic(op);
      return EMStep::Next;
    case opContact:
      Registers.S0 += Registers.S1;
      return EMStep::Next;
    case opJMP:
      Jump(pc, prepared);
      return EMStep::Next;
    case opJNB:
      if (!Registers.BR) Jump(pc, prepared);
      return EMStep::Next;
    case opNOP:
      if (prepared.Marker != EMSection::None) run.Section = prepared.Marker;
      return EMStep::Next;
    default:
      if (IsBuiltin(op)) ExecuteBuiltin(op, ins.ValueType, Registers, Environment);
      return EMStep::Next;  // opcodes outside the set are no-ops
  }
}

// A null number in either operand counts as 0; a zero divisor gives 0.
void TVirtualMachine::ExecuteArithmetic(EMOpCode op) {
  SRegisters& r = Registers;
  if (r.C1 == NullNumber) r.C1 = 0.0;
  if (r.C0 == NullNumber) r.C0 = 0.0;
  switch (op) {
    case opAdd: r.C0 = r.C0 + r.C1; break;
    case opSub: r.C0 = r.C0 - r.C1; break;
    case opMul: r.C0 = r.C0 * r.C1; break;
    default: r.C0 = (r.C1 == 0.0) ? 0.0 : r.C0 / r.C1; break;
  }
}

namespace {

bool CompareNumbers(EMOpCode op, double left, double right) {
  const bool equal = right - EqualEpsilon < left && left < right + EqualEpsilon;
  switch (op) {
    case opLess: return left < right;
    case opGreat: return left > right;
    case opEqual: return equal;
    case opUnequal: return !equal;
    case opLessEqual: return left <= right;
    default: return left >= right;
  }
}

// Byte-wise: the first differing byte decides (unsigned); a prefix is smaller.
bool CompareTexts(EMOpCode op, std::string_view left, std::string_view right) {
  const int order = left.compare(right);
  switch (op) {
    case opLess: return order < 0;
    case opGreat: return order > 0;
    case opEqual: return order == 0;
    case opUnequal: return order != 0;
    case opLessEqual: return order <= 0;
    default: return order >= 0;
  }
}

}  // namespace

void TVirtualMachine::ExecuteComparison(EMOpCode op, std::uint8_t valueType, SRunState& run) {
  if (valueType == 0) Registers.BR = CompareNumbers(op, Registers.R0, Registers.C0);
  else if (valueType == 1) Registers.BR = CompareTexts(op, Registers.RS, Registers.S0);
  ExplainComparison(run);
}

const SVarStruct* TVirtualMachine::LookUpVariable(const SCodeStruct& ins, SPreparedCode& prepared) {
  const auto& records = Vars.All();
  if (prepared.VarIndex >= 0 && prepared.VarGeneration == Vars.Generation)
    return &records[static_cast<std::size_t>(prepared.VarIndex)];
  const SVarStruct* found = Vars.Find(ins.Operand2);
  if (found == nullptr) return nullptr;  // a later SetVar may add it: look again next time
  prepared.VarIndex = static_cast<std::int32_t>(found - records.data());
  prepared.VarGeneration = Vars.Generation;
  return found;
}

// The value text of the variable just found, read as a number, or the null
// number when it is not one. Each value is read once until it changes.
double TVirtualMachine::VariableAsNumber(const SPreparedCode& prepared) {
  const auto index = static_cast<std::size_t>(prepared.VarIndex);
  if (LoadedNumbers.size() < Vars.All().size()) LoadedNumbers.resize(Vars.All().size());
  SLoadedNumber& loaded = LoadedNumbers[index];
  const std::uint64_t revision = Vars.Revision(index);
  if (loaded.Revision != revision) {
    const std::string& text = Vars.All()[index].Value;
    loaded.IsNumber = ReadNumber(text, Environment.Settings.DecimalSeparator, loaded.Value);
    loaded.Revision = revision;
  }
  return loaded.IsNumber ? loaded.Value : NullNumber;
}

// Moves between registers, from a variable, or from a constant. ValueType
// selects the number registers (0) or the text registers (1); a register
// name the opcode does not accept makes the move do nothing.
TVirtualMachine::EMStep TVirtualMachine::ExecuteMove(const SCodeStruct& ins, SPreparedCode& prepared) {
  if (ins.ValueType != 0 && ins.ValueType != 1) return EMStep::Next;
  const SVarStruct* variable = nullptr;
  if (ins.OpCode == opMovF) {
    variable = LookUpVariable(ins, prepared);
    if (variable == nullptr)
      return Fail(std::string(Message(mNoInitialValuePrefix)) + ins.Operand2 + Message(mNoInitialValueSuffix));
  }
  if (ins.ValueType == 0) {
    if (prepared.NumberTarget == nullptr) return EMStep::Next;
    if (ins.OpCode == opMovR) {
      if (prepared.NumberSource != nullptr) *prepared.NumberTarget = *prepared.NumberSource;
    } else if (ins.OpCode == opMovF) {
      *prepared.NumberTarget = VariableAsNumber(prepared);
    } else {
      *prepared.NumberTarget = prepared.ConstantIsNumber ? prepared.Constant : NullNumber;
    }
  } else if (prepared.TextTarget != nullptr) {
    if (ins.OpCode == opMovR) {
      if (prepared.TextSource != nullptr) *prepared.TextTarget = *prepared.TextSource;
    } else {
      *prepared.TextTarget = (ins.OpCode == opMovF) ? variable->Value : ins.Operand2;
    }
  }
  return EMStep::Next;
}

// A register name the opcode does not accept pushes 0 (or the empty text);
// popping into one discards the entry.
TVirtualMachine::EMStep TVirtualMachine::ExecutePush(std::uint8_t valueType, const SPreparedCode& prepared) {
  if (valueType == 0) {
    if (FloatTop >= kStackCapacity) return Fail(Message(mFloatStackOverflow));
    double value = 0.0;
    if (prepared.NumberTarget != nullptr) value = *prepared.NumberTarget;
    else if (prepared.BooleanTarget != nullptr) value = *prepared.BooleanTarget ? 1.0 : 0.0;
    FloatStack[static_cast<std::size_t>(FloatTop++)] = value;
  } else if (valueType == 1) {
    if (StringTop >= kStackCapacity) return Fail(Message(mStringStackOverflow));
    std::string& slot = StringStack[static_cast<std::size_t>(StringTop)];
    if (prepared.TextTarget != nullptr) slot = *prepared.TextTarget;
    else slot.clear();
    ++StringTop;
  }
  return EMStep::Next;
}

TVirtualMachine::EMStep TVirtualMachine::ExecutePop(std::uint8_t valueType, const SPreparedCode& prepared) {
  if (valueType == 0) {
    if (FloatTop <= 0) return Fail(Message(mFloatStackOverflow));
    const double value = FloatStack[static_cast<std::size_t>(--FloatTop)];
    if (prepared.NumberTarget != nullptr) *prepared.NumberTarget = value;
    else if (prepared.BooleanTarget != nullptr) *prepared.BooleanTarget = value != 0.0;
  } else if (valueType == 1) {
    if (StringTop <= 0) return Fail(Message(mStringStackOverflow));
    std::string& slot = StringStack[static_cast<std::size_t>(--StringTop)];
    if (prepared.TextTarget != nullptr) prepared.TextTarget->swap(slot);
  }
  return EMStep::Next;
}

// A true AND or OR drops the explanations gathered so far.
void TVirtualMachine::ExecuteLogic(EMOpCode op) {
  Registers.BR = (op == opAnd) ? (Registers.BR && Registers.BR1) : (Registers.BR || Registers.BR1);
  if (Registers.BR) RuntimeError.clear();
}

// Continues after the label record; a label that does not follow the jump ends the run.
void TVirtualMachine::Jump(std::size_t& pc, const SPreparedCode& prepared) {
  pc = prepared.JumpTarget >= 0 ? static_cast<std::size_t>(prepared.JumpTarget) : Code.size() - 1;
}

// Each jump's target is the first label record after it with the same name.
// Short lists are searched directly; long ones (many statements compiled
// without ClearMemory) through a map of the nearest label of each name.
void TVirtualMachine::ResolveJumps() {
  constexpr std::size_t kDirectSearchLimit = 256;
  if (Code.size() <= kDirectSearchLimit) {
    for (std::size_t i = 0; i < Code.size(); ++i) {
      if (Code[i].OpCode != opJMP && Code[i].OpCode != opJNB) continue;
      Prepared[i].JumpTarget = -1;
      for (std::size_t j = i + 1; j < Code.size(); ++j) {
        if (Code[j].OpCode == opNOP && Code[j].Operand1 == Code[i].Operand1) {
          Prepared[i].JumpTarget = static_cast<std::int32_t>(j);
          break;
        }
      }
    }
  } else {
    std::unordered_map<std::string_view, std::int32_t> nearestLabel;
    for (std::size_t i = Code.size(); i-- > 0;) {
      const SCodeStruct& ins = Code[i];
      if (ins.OpCode == opJMP || ins.OpCode == opJNB) {
        const auto found = nearestLabel.find(ins.Operand1);
        Prepared[i].JumpTarget = found == nearestLabel.end() ? -1 : found->second;
      } else if (ins.OpCode == opNOP) {
        nearestLabel[ins.Operand1] = static_cast<std::int32_t>(i);
      }
    }
  }
  JumpsResolvedFor = Code.size();
}

// The end-of-run rule: a false result inside a THEN or ELSE branch is
// explained by the branch; an IF whose condition failed without ELSE holds.
bool TVirtualMachine::FinishRun(SRunState& run) {
  if (Registers.BR) return true;
  if (run.Section == EMSection::Then || run.Section == EMSection::Else) {
    ExplainBranch(run.Section == EMSection::Then, run);
    return false;
  }
  if (run.Section == EMSection::If) {
    Registers.BR = true;
    RuntimeError.clear();
    return true;
  }
  return false;
}

TVirtualMachine::EMStep TVirtualMachine::Fail(const std::string& message) {
  RuntimeError = message;
  return EMStep::Stop;
}

}  // namespace rulecalc
