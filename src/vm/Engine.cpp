#include <string>
#include <unordered_map>

#include "common/Messages.h"
#include "vm/Builtins.h"
#include "vm/NumberComparison.h"
#include "vm/NumberText.h"
#include "vm/VirtualMachine.h"

namespace rulecalc {

bool TVirtualMachine::Run() {
  StoppedByError = false;
  if (TakeNotes) Notes.clear();
  if (Code.empty()) {
    Registers.BR = true;
    return true;
  }
  if (Prepared.size() != Code.size()) PrepareAll();
  if (JumpsResolvedFor != Code.size()) ResolveJumps();
  // New code runs record by record; code that runs a second time is likely
  // to run many times, and only then is it worth fusing.
  if (FusedFor != Code.size() || FusedWith != UseSuperinstructions || RegistersWith != UseRegisterCode) {
    UnfuseAll();
  } else if (FusionDue) {
    FuseAll();
  }
  if (UseExplanationCache) Explanations.UseSentence(Tokeniser.SentenceRevision);
  SRunState run;
  GroupStarts.clear();
  const bool holds = TakeNotes ? RunCode<true>(run) : RunCode<false>(run);
  run.PendingEnd.ApplyTo(Tokeniser);
  return holds;
}

namespace {

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

// The top entry, taken off the stack, or nullptr when the stack is empty.
template <typename Entry>
Entry* PopSlot(std::vector<Entry>& stack, std::int32_t& top) {
  return top > 0 ? &stack[static_cast<std::size_t>(--top)] : nullptr;
}

}  // namespace

// Executes the instructions in order; a run-time error stops the run with
// its message. Each case is one decoded action (see EMAction).
template <bool Noting>
bool TVirtualMachine::RunCode(SRunState& run) {
  SRegisters& r = Registers;
  const std::size_t count = Code.size();  // running never changes the code list
  const bool interruptible = Interrupt != nullptr && Interrupt->IsSet();
  for (std::size_t pc = 0; pc < count; ++pc) {
    if (interruptible && Interrupt->StopRequested()) return Fail(mInterrupted);
    SPreparedCode& p = Prepared[pc];
    EMAction action = p.Action;
  dispatch:
    switch (action) {
      case EMAction::Nothing: break;
      case EMAction::Arithmetic:
        if (Noting) NoteDivision(pc, r.C1);
        ExecuteArithmetic(p.Op);
        break;
      case EMAction::CompareNumbers:
        r.BR = CompareNumbers(p.Op, r.R0, r.C0);
        ExplainComparison(run, p);
        break;
      case EMAction::CompareTexts:
        r.BR = CompareTexts(p.Op, r.RS, r.S0);
        ExplainComparison(run, p);
        break;
      case EMAction::ExplainOnly: ExplainComparison(run, p); break;
      case EMAction::MoveNumber: *p.NumberTarget = *p.NumberSource; break;
      case EMAction::MoveText: *p.TextTarget = *p.TextSource; break;
      case EMAction::LoadNumberVariable:
        if (p.NumberTarget != nullptr) {
          if (!LoadNumberVariable(pc)) return false;
          if (Noting) NoteUnreadNumber(pc);
        } else if (LookUpVariable(pc) == nullptr) {
          return FailMissingVariable(pc);
        }
        break;
      case EMAction::LoadTextVariable: {
        const SVarStruct* variable = LookUpVariable(pc);
        if (variable == nullptr) return FailMissingVariable(pc);
        if (p.TextTarget != nullptr) *p.TextTarget = Vars.Text(static_cast<std::size_t>(p.VarIndex));
        break;
      }
      case EMAction::LoadNumberConstant: *p.NumberTarget = p.Constant; break;
      case EMAction::LoadTextConstant: *p.TextTarget = Code[pc].Operand2; break;
      case EMAction::PushNumber: case EMAction::PushBoolean: case EMAction::PushZero: {
        double* slot = PushSlot(FloatStack, FloatTop);
        if (slot == nullptr) return Fail(mFloatStackOverflow);
        if (action == EMAction::PushNumber) *slot = *p.NumberTarget;
        else if (action == EMAction::PushBoolean) *slot = *p.BooleanTarget ? 1.0 : 0.0;
        else *slot = 0.0;
        break;
      }
      case EMAction::PushText: case EMAction::PushEmptyText: {
        std::string* slot = PushSlot(StringStack, StringTop);
        if (slot == nullptr) return Fail(mStringStackOverflow);
        if (action == EMAction::PushText) *slot = *p.TextTarget;
        else slot->clear();
        break;
      }
      case EMAction::PopNumber: case EMAction::PopBoolean: case EMAction::PopNumberAway: {
        const double* slot = PopSlot(FloatStack, FloatTop);
        if (slot == nullptr) return Fail(mFloatStackOverflow);
        if (action == EMAction::PopNumber) *p.NumberTarget = *slot;
        else if (action == EMAction::PopBoolean) *p.BooleanTarget = *slot != 0.0;
        break;
      }
      case EMAction::PopText: case EMAction::PopTextAway: {
        std::string* slot = PopSlot(StringStack, StringTop);
        if (slot == nullptr) return Fail(mStringStackOverflow);
        if (action == EMAction::PopText) p.TextTarget->swap(*slot);
        break;
      }
      case EMAction::Logic: ExecuteLogic(p.Op); break;
      case EMAction::Contact: r.S0 += r.S1; break;
      case EMAction::Jump: Jump(pc, p); break;
      case EMAction::JumpIfFalse:
        if (!r.BR) Jump(pc, p);
        break;
      case EMAction::Marker: run.Section = p.Marker; break;
      case EMAction::Builtin:
        if (Noting) NoteBuiltin(pc);
        ExecuteBuiltin(p.Op, p.ValueType, r, Environment);
        if (Noting && p.Op == opTodate) NoteUnreadDate(pc);
        break;
      case EMAction::Negate: r.BR = !r.BR; break;
      case EMAction::OpenGroup: OpenGroup(); break;
      case EMAction::ExplainGroup: ExplainGroup(p.Condition); break;
      case EMAction::CloseGroup: CloseGroup(); break;
      case EMAction::LoadAndPushNumber:
        if (!LoadAndPushNumber(pc)) return false;
        if (Noting) NoteUnreadNumber(pc);
        pc += 1;
        break;
      case EMAction::ConstantRightOperand: case EMAction::VariableRightOperand:
        if (!RightOperand(pc, action == EMAction::VariableRightOperand)) return false;
        if (Noting) NoteRightOperand(pc, action == EMAction::VariableRightOperand);
        pc += 3;
        break;
      case EMAction::CompareWithConstant:
        CompareWithConstant(pc, run);
        pc += 2;
        break;
      case EMAction::CompareVariableWithConstant:
        if (!LoadNumberVariable(pc)) return false;
        if (Noting) NoteUnreadNumber(pc);
        CompareWithConstant(pc + 1, run);
        pc += 3;
        break;
      case EMAction::CompareVariables:
        if (!CompareVariables(pc, run)) return false;
        if (Noting) {
          NoteUnreadNumber(pc);
          NoteUnreadNumber(pc + 2);
        }
        pc += 3;
        break;
      case EMAction::PopAndLogic:
        if (!PopAndLogic(pc)) return false;
        pc += 1;
        break;
      case EMAction::RegisterExpression: {
        SRegisterExpression& form = RegisterForms[static_cast<std::size_t>(p.Expression)];
        if (!Noting && !interruptible && RunRegisterForm(form, run)) {
          pc += form.Length - 1;
          break;
        }
        action = form.Fallback;  // the records run one by one, as without the form
        goto dispatch;
      }
    }
  }
  return FinishRun(run);
}

// A null number in either operand counts as 0; a zero divisor gives 0.
void TVirtualMachine::ExecuteArithmetic(EMOpCode op) {
  Registers.C1 = NullAsZero(Registers.C1);
  Registers.C0 = ArithmeticOf(op, Registers.C0, Registers.C1);
}

// The variable an opMovF names. A name is stored once, and records are only
// removed all together, so the index found stays right while the table's
// generation does; a name not found is looked up again next time.
const SVarStruct* TVirtualMachine::LookUpVariable(std::size_t pc) {
  SPreparedCode& prepared = Prepared[pc];
  if (prepared.VarIndex >= 0 && prepared.VarGeneration == Vars.Generation)
    return &Vars.Stored(static_cast<std::size_t>(prepared.VarIndex));
  const SVarStruct* found = Vars.Find(Code[pc].Operand2);
  if (found == nullptr) return nullptr;
  prepared.VarIndex = static_cast<std::int32_t>(found - &Vars.Stored(0));
  prepared.VarGeneration = Vars.Generation;
  return found;
}

// The value of the variable just found as a number: the number it was given,
// or its text read as one, or the null number when the text is not one. Each
// value is read once until it changes.
double TVirtualMachine::VariableAsNumber(const SPreparedCode& prepared) {
  const auto index = static_cast<std::size_t>(prepared.VarIndex);
  if (LoadedNumbers.size() < Vars.Size()) LoadedNumbers.resize(Vars.Size());
  SLoadedNumber& loaded = LoadedNumbers[index];
  const std::uint64_t revision = Vars.Revision(index);
  if (loaded.Revision != revision) {
    loaded.IsNumber = Vars.HeldNumber(index, loaded.Value) ||
                      ReadNumber(Vars.Text(index), Environment.Settings.DecimalSeparator, loaded.Value);
    loaded.Revision = revision;
  }
  return loaded.IsNumber ? loaded.Value : NullNumber;
}

// A true AND or OR drops the explanations gathered so far: all of them, or
// inside a bracketed condition those of the bracket.
void TVirtualMachine::ExecuteLogic(EMOpCode op) {
  Registers.BR = (op == opAnd) ? (Registers.BR && Registers.BR1) : (Registers.BR || Registers.BR1);
  if (!Registers.BR) return;
  if (GroupStarts.empty()) DropExplanation();
  else DropExplanationSince(GroupStarts.back());
}

// Leaves the failed clauses before the first one counted.
void TVirtualMachine::DropExplanationSince(std::size_t clauses) {
  if (clauses >= FailedClauses.size()) return;
  RuntimeError.resize(FailedClauses[clauses].NamesStart);
  FailedClauses.resize(clauses);
}

void TVirtualMachine::CloseGroup() {
  if (!GroupStarts.empty()) GroupStarts.pop_back();
}

// The group's own clauses give way to its explanation.
void TVirtualMachine::ExplainGroup(std::int32_t condition) {
  if (!GroupStarts.empty()) {
    DropExplanationSince(GroupStarts.back());
    GroupStarts.pop_back();
  }
  ExplainCondition(condition);
}

void TVirtualMachine::ExplainCondition(std::int32_t condition) {
  if (Registers.BR || condition < 0 || static_cast<std::size_t>(condition) >= Conditions.size()) return;
  const SConditionExplanation& explanation = Conditions[static_cast<std::size_t>(condition)];
  AppendClauseEntry(explanation.Entry, explanation.NamesLength);
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
    DropExplanation();
    return true;
  }
  return false;
}

// "虚拟机运行时错误,变量" + the name as written in the instruction + "无初始值!"
bool TVirtualMachine::FailMissingVariable(std::size_t pc) {
  RuntimeError = std::string(Message(mNoInitialValuePrefix)) + Code[pc].Operand2 + Message(mNoInitialValueSuffix);
  FailedClauses.clear();
  StoppedByError = true;
  return false;
}

bool TVirtualMachine::Fail(EMMessage message) {
  RuntimeError = Message(message);
  FailedClauses.clear();
  StoppedByError = true;
  return false;
}

}  // namespace rulecalc
