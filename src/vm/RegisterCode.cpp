#include <algorithm>

#include "vm/NumberComparison.h"
#include "vm/VirtualMachine.h"

// The register form: a run of number records (loads into registers, moves,
// pushes and pops of number registers, arithmetic) and the number comparison
// that may end it is rewritten, once, as steps over number slots. A move, a
// push or a pop only changes which slot a register or a stack entry holds,
// so the steps left are the loads and the arithmetic. The run then writes
// the registers and the stack entries it leaves, as the records would, and
// compares. Only the first record's action changes, and a label never
// belongs to a run, so no jump enters one in its middle.

namespace rulecalc {

namespace {

constexpr std::size_t kMaxFormRecords = 128;
constexpr std::uint32_t kC0 = 0, kC1 = 1, kR0 = 2;

bool BelongsToForm(const SPreparedCode& p) {
  switch (p.Own) {
    case EMAction::LoadNumberVariable: return p.NumberTarget != nullptr;
    case EMAction::LoadNumberConstant: case EMAction::MoveNumber: case EMAction::PushNumber:
    case EMAction::PopNumber: case EMAction::Arithmetic:
      return true;
    default: return false;
  }
}

// Builds a form record by record, keeping which slot each number register
// and each stack entry holds.
class TFormBuilder {
 public:
  TFormBuilder(SRegisterExpression& form, const SRegisters& registers) : Form(form), Registers(registers) {}

  void Add(const SPreparedCode& p, std::size_t pc) {
    switch (p.Own) {
      case EMAction::LoadNumberVariable: Write(Target(p), Step(EMSlotStep::Variable, 0, 0, pc)); break;
      case EMAction::LoadNumberConstant: Write(Target(p), Constant(p.Constant)); break;
      case EMAction::MoveNumber: Write(Target(p), Read(Index(p.NumberSource))); break;
      case EMAction::PushNumber: Push(Read(Target(p))); break;
      case EMAction::PopNumber: Write(Target(p), Pop()); break;
      default: Arithmetic(p.Op); break;
    }
  }

  void Finish() {
    for (std::uint32_t r : {kC0, kC1, kR0})
      if (Written[r]) Form.Results[r] = static_cast<std::int32_t>(Holds[r]);
    Form.Pushed = Known;
    DropDeadSteps();
  }

 private:
  std::uint32_t Index(const double* reg) const {
    if (reg == &Registers.C0) return kC0;
    return reg == &Registers.C1 ? kC1 : kR0;
  }
  std::uint32_t Target(const SPreparedCode& p) const { return Index(p.NumberTarget); }

  std::uint32_t NewSlot(double value = 0.0) {
    Form.Slots.push_back(value);
    return static_cast<std::uint32_t>(Form.Slots.size() - 1);
  }
  std::uint32_t Constant(double value) { return NewSlot(value); }
  std::uint32_t Step(EMSlotStep kind, std::uint32_t left, std::uint32_t right, std::size_t source,
                     EMOpCode op = opAdd) {
    const std::uint32_t slot = NewSlot();
    Form.Steps.push_back({kind, op, slot, left, right, static_cast<std::uint32_t>(source)});
    return slot;
  }

  // A register not yet written holds what it held when the form started.
  std::uint32_t Read(std::uint32_t reg) {
    if (!Decided[reg]) {
      Holds[reg] = Step(EMSlotStep::Register, 0, 0, reg);
      Decided[reg] = true;
    }
    return Holds[reg];
  }
  void Write(std::uint32_t reg, std::uint32_t slot) {
    Holds[reg] = slot;
    Decided[reg] = Written[reg] = true;
  }

  void Push(std::uint32_t slot) {
    Known.push_back(slot);
    Form.StackPeak = std::max(Form.StackPeak, static_cast<std::int32_t>(Known.size()) - Form.StackBelow);
  }
  // An entry the form did not push was there when it started.
  std::uint32_t Pop() {
    if (Known.empty()) {
      ++Form.StackBelow;
      return Step(EMSlotStep::StackEntry, 0, 0, static_cast<std::size_t>(Form.StackBelow));
    }
    const std::uint32_t slot = Known.back();
    Known.pop_back();
    return slot;
  }

  // $C0 := $C0 op $C1, and $C1 keeps its value with a null number made 0.
  void Arithmetic(EMOpCode op) {
    const std::uint32_t left = Read(kC0), right = Read(kC1);
    const std::uint32_t rightAsNumber = NewSlot();
    Write(kC0, Step(EMSlotStep::Arithmetic, left, right, rightAsNumber, op));
    Write(kC1, rightAsNumber);
  }

  // Steps whose slot nothing reads are left out; a variable is always
  // loaded, as a missing one stops the run.
  void DropDeadSteps() {
    std::vector<bool> live(Form.Slots.size(), false);
    for (std::int32_t slot : Form.Results)
      if (slot >= 0) live[static_cast<std::size_t>(slot)] = true;
    for (std::uint32_t slot : Form.Pushed) live[slot] = true;
    std::vector<SRegisterStep> kept;
    for (auto step = Form.Steps.rbegin(); step != Form.Steps.rend(); ++step) {
      const bool arithmetic = step->Kind == EMSlotStep::Arithmetic;
      const bool needed = live[step->Slot] || (arithmetic && live[step->Source]);
      if (step->Kind != EMSlotStep::Variable && !needed) continue;
      if (arithmetic) live[step->Left] = live[step->Right] = true;
      kept.push_back(*step);
    }
    Form.Steps.assign(kept.rbegin(), kept.rend());
  }

  SRegisterExpression& Form;
  const SRegisters& Registers;
  std::uint32_t Holds[3] = {};
  bool Decided[3] = {};  // the slot register r holds is known
  bool Written[3] = {};  // the form changes register r
  std::vector<std::uint32_t> Known;  // the stack entries above StackBelow, bottom first
};

}  // namespace

// Each run of number records that pushes a left operand becomes a form;
// shorter runs are single superinstructions already.
void TVirtualMachine::CompileRegisterForms() {
  RegisterForms.clear();
  if (!UseRegisterCode) return;
  for (std::size_t at = 0; at < Prepared.size();) {
    std::size_t end = at;
    bool pushes = false;
    while (end < Prepared.size() && end - at < kMaxFormRecords && BelongsToForm(Prepared[end]))
      pushes |= Prepared[end++].Own == EMAction::PushNumber;
    const bool compares = end < Prepared.size() && end > at && Prepared[end].Own == EMAction::CompareNumbers;
    if (!pushes) {
      at = std::max(end, at + 1);
      continue;
    }
    SRegisterExpression& form = RegisterForms.emplace_back();
    form.First = at;
    form.Length = end - at + (compares ? 1 : 0);
    form.Fallback = Prepared[at].Action;
    form.Comparison = compares ? static_cast<std::int32_t>(end) : -1;
    TFormBuilder builder(form, Registers);
    for (std::size_t pc = at; pc < end; ++pc) builder.Add(Prepared[pc], pc);
    builder.Finish();
    Prepared[at].Action = EMAction::RegisterExpression;
    Prepared[at].Expression = static_cast<std::int32_t>(RegisterForms.size() - 1);
    at += form.Length;
  }
}

// The number an opMovF loads, without touching the registers; false when
// the variable is missing.
bool TVirtualMachine::NumberOfVariable(std::size_t pc, double& value) {
  const SPreparedCode& p = Prepared[pc];
  if (CachedVariableNumber(p, value)) return true;
  if (LookUpVariable(pc) == nullptr) return false;
  value = VariableAsNumber(p);
  return true;
}

namespace {

double& NumberRegisterAt(SRegisters& r, std::uint32_t index) {
  if (index == kC0) return r.C0;
  return index == kC1 ? r.C1 : r.R0;
}

}  // namespace

// False, with nothing changed, when a record of the form would stop the run
// or fall back: the records then run one by one.
bool TVirtualMachine::RunRegisterForm(SRegisterExpression& form, SRunState& run) {
  if (FloatTop < form.StackBelow || FloatTop + form.StackPeak > kStackCapacity) return false;
  double* slots = form.Slots.data();
  for (const SRegisterStep& step : form.Steps) {
    double& slot = slots[step.Slot];
    switch (step.Kind) {
      case EMSlotStep::Variable:
        if (!NumberOfVariable(step.Source, slot)) return false;
        break;
      case EMSlotStep::StackEntry:
        slot = FloatStack[static_cast<std::size_t>(FloatTop) - step.Source];
        break;
      case EMSlotStep::Register: slot = NumberRegisterAt(Registers, step.Source); break;
      case EMSlotStep::Arithmetic:
        slot = ArithmeticOf(step.Op, slots[step.Left], slots[step.Right]);
        slots[step.Source] = NullAsZero(slots[step.Right]);
        break;
    }
  }
  const auto base = static_cast<std::size_t>(FloatTop - form.StackBelow);
  if (FloatStack.size() < base + form.Pushed.size()) FloatStack.resize(base + form.Pushed.size());
  for (std::size_t k = 0; k < form.Pushed.size(); ++k) FloatStack[base + k] = slots[form.Pushed[k]];
  FloatTop = static_cast<std::int32_t>(base + form.Pushed.size());
  for (std::uint32_t r : {kC0, kC1, kR0})
    if (form.Results[r] >= 0) NumberRegisterAt(Registers, r) = slots[form.Results[r]];
  if (form.Comparison < 0) return true;
  const SPreparedCode& comparison = Prepared[static_cast<std::size_t>(form.Comparison)];
  Registers.BR = CompareNumbers(comparison.Op, Registers.R0, Registers.C0);
  ExplainComparison(run, comparison);
  return true;
}

}  // namespace rulecalc
