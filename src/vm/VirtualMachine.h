#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "boundary/VarTable.h"
#include "common/Interrupt.h"
#include "common/Messages.h"
#include "lexer/TokenAnalyser.h"
#include "platform/HostEnvironment.h"
#include "vm/CodeStruct.h"
#include "vm/ExplanationCache.h"
#include "vm/OpCode.h"
#include "vm/Registers.h"
#include "vm/RunNotes.h"

namespace rulecalc {

constexpr std::int32_t kStackCapacity = 2048;

// Tolerance of numeric equality: the single-precision value nearest 1e-9.
inline constexpr double EqualEpsilon = 9.999999717180685e-10;

// The section of an IF statement that a run last entered.
enum class EMSection : std::uint8_t { None, If, Then, Else };

// SPreparedCode::Condition of a comparison explained by the clause read
// from the sentence, and of an instruction that explains nothing.
inline constexpr std::int32_t kClauseFromSentence = -2;
inline constexpr std::int32_t kNoCondition = -1;

// The explanation of one condition of a sentence in the extended language,
// made when it was analysed: "names::condition;", or "" when the condition
// names no variable.
struct SConditionExplanation {
  std::string Entry;
  std::size_t NamesLength = 0;  // of the names that lead Entry
};

// What an instruction does, decided once from its opcode, its value type and
// the registers it names.
enum class EMAction : std::uint8_t {
  Nothing,             // an opcode outside the set, a value type or register it does not take
  Arithmetic,          // opAdd, opSub, opMul, opDiv
  CompareNumbers,      // a comparison of numbers
  CompareTexts,        // a comparison of texts
  ExplainOnly,         // a comparison with another value type: $BR stays, the clause is consumed
  MoveNumber,          // opMovR between number registers
  MoveText,            // opMovR between text registers
  LoadNumberVariable,  // opMovF of a number (the target may name no register)
  LoadTextVariable,    // opMovF of a text (the target may name no register)
  LoadNumberConstant,  // opMovD into a number register
  LoadTextConstant,    // opMovD into a text register
  PushNumber,          // opPush of $C0, $C1, $R0
  PushBoolean,         // opPush of $BR, $BR1 (as 1.0 or 0.0)
  PushZero,            // opPush of a number from no register
  PushText,            // opPush of $S0, $S1, $RS
  PushEmptyText,       // opPush of a text from no register
  PopNumber,           // opPop into $C0, $C1, $R0
  PopBoolean,          // opPop into $BR, $BR1 (true when not 0.0)
  PopNumberAway,       // opPop of a number into no register
  PopText,             // opPop into $S0, $S1, $RS
  PopTextAway,         // opPop of a text into no register
  Logic,               // opAnd, opOr
  Contact,             // opContact
  Jump,                // opJMP
  JumpIfFalse,         // opJNB
  Marker,              // opNOP with "$IF", "$THEN" or "$ELSE"
  Builtin,             // the built-in operations
  Negate,              // opNot
  OpenGroup,           // opMark
  ExplainGroup,        // opExplain
  CloseGroup,          // opUnmark
  // Superinstructions: a run of the actions above that the analyser emits
  // together, executed as one step, member by member in the same order.
  LoadAndPushNumber,      // LoadNumberVariable (into a register), PushNumber
  ConstantRightOperand,   // LoadNumberConstant, MoveNumber, PopNumber, Arithmetic
  VariableRightOperand,   // LoadNumberVariable (into a register), MoveNumber, PopNumber, Arithmetic
  CompareWithConstant,    // MoveNumber, LoadNumberConstant, CompareNumbers
  CompareVariableWithConstant,  // LoadNumberVariable (into a register), then CompareWithConstant's members
  CompareVariables,       // LoadNumberVariable, MoveNumber, LoadNumberVariable (both into registers), CompareNumbers
  PopAndLogic,            // PopBoolean, Logic
  // A number expression and the comparison that may end it, evaluated into
  // number slots and written back to the registers and the stack at its end.
  RegisterExpression,
};

// An instruction with its operand texts resolved for execution: registers
// become the machine's own registers, markers a section, constants numbers.
struct SPreparedCode {
  EMAction Action = EMAction::Nothing;  // what the run does at this record
  EMAction Own = EMAction::Nothing;     // the record's own action (Action unless it starts a superinstruction)
  EMOpCode Op = opNOP;
  std::uint8_t ValueType = kNumberType;
  double* NumberTarget = nullptr;   // Operand1 when it names $C0, $C1 or $R0
  double* NumberSource = nullptr;   // Operand2 when it names $C0, $C1 or $R0
  bool* BooleanTarget = nullptr;    // Operand1 when it names $BR or $BR1
  std::string* TextTarget = nullptr;  // Operand1 when it names $S0, $S1 or $RS
  std::string* TextSource = nullptr;  // Operand2 when it names $S0, $S1 or $RS
  EMSection Marker = EMSection::None;  // opNOP with "$IF", "$THEN" or "$ELSE"
  bool ConstantIsNumber = false;
  double Constant = 0.0;             // Operand2 read as a number (opMovD)
  std::int32_t JumpTarget = -1;      // index of the label record (opJMP, opJNB); -1: none
  // Which explanation a comparison or opExplain gives when false (Operand1
  // "#n": condition n, "#": none); a comparison without one reads its
  // clause from the sentence.
  std::int32_t Condition = kClauseFromSentence;
  std::int32_t VarIndex = -1;        // index of the variable last found (opMovF)
  std::uint64_t VarGeneration = 0;   // the variable table's generation when it was found
  std::int32_t Expression = -1;      // the register form starting here (RegisterExpression)
};

// One step of a register form: a number slot computed from others, a
// variable, the stack or a register.
enum class EMSlotStep : std::uint8_t {
  Variable,    // slot := the number variable of record Source
  StackEntry,  // slot := the stack entry Source places below the top the form starts at
  Register,    // slot := the number register Source (0: $C0, 1: $C1, 2: $R0)
  Arithmetic,  // slot := Left op Right, null numbers counting as 0; Source := Right, 0 when null
};

struct SRegisterStep {
  EMSlotStep Kind = EMSlotStep::Variable;
  EMOpCode Op = opAdd;
  std::uint32_t Slot = 0;
  std::uint32_t Left = 0;
  std::uint32_t Right = 0;
  std::uint32_t Source = 0;
};

// A run of number loads, moves, pushes, pops and arithmetic (and the number
// comparison that ends it) as three-address steps over number slots. The
// registers and the stack are only written when every step succeeded, so a
// form that cannot finish (a missing variable, a stack too full or too
// empty) runs its records one by one instead.
struct SRegisterExpression {
  std::size_t First = 0;             // the record it starts at
  std::size_t Length = 0;            // how many records it stands for
  EMAction Fallback = EMAction::Nothing;  // the first record's action without the form
  std::vector<SRegisterStep> Steps;
  std::vector<double> Slots;         // constants filled in once
  std::int32_t StackBelow = 0;       // entries popped below the top it starts at
  std::int32_t StackPeak = 0;        // highest depth above that top
  std::vector<std::uint32_t> Pushed; // the entries it leaves, from StackBelow below the top
  std::int32_t Results[3] = {-1, -1, -1};  // the slots $C0, $C1, $R0 end with; -1: unchanged
  std::int32_t Comparison = -1;      // the record of the comparison that ends it; -1: none
};

// A variable's value read as a number, kept until the value changes.
struct SLoadedNumber {
  std::uint64_t Revision = 0;  // the variable's revision when it was read; 0: never
  bool IsNumber = false;
  double Value = 0.0;
};

// Per-run state: which section of an IF statement is running, and which
// clause of the sentence explains the next comparison.
struct SRunState {
  EMSection Section = EMSection::None;
  std::int32_t ClauseCursor = 0;  // where the next clause starts in the sentence
  std::size_t ClauseIndex = 0;    // how many comparisons ran so far
  TPendingTokeniserEnd PendingEnd;
};

// The register-and-stack machine: holds the variables, the code list, the
// registers and stacks, and the run-time text. It reads the sentence again
// through the shared tokeniser to explain a false result.
class TVirtualMachine {
 public:
  // sharedVariables: a table the machine reads instead of its own, shared
  // with the machines of other rules over the same record; it must outlive
  // the machine. Null: the machine's own table.
  TVirtualMachine(TTokenAnalyser& tokeniser, const SHostEnvironment& environment,
                  TVarTable* sharedVariables = nullptr);
  // Instructions hold the addresses of the machine's registers.
  TVirtualMachine(const TVirtualMachine&) = delete;
  TVirtualMachine& operator=(const TVirtualMachine&) = delete;

  // --- Variables ---
  void SetVar(std::string_view name, std::string_view value, std::int32_t type) {
    Vars.SetVar(name, value, type);
  }
  bool FindVar(std::string_view name, SVarStruct& out) const { return Vars.FindVar(name, out); }

  // --- Code emission ---
  // Appends one instruction; validates nothing.
  void AddCode(std::uint8_t opCode, std::string_view operand1, std::string_view operand2,
               std::uint8_t valueType);
  // Keeps the explanation of a condition, "names::text;" (none when names
  // is empty); its number, written "#n", is the Operand1 of the comparison
  // or opExplain it explains.
  std::string AddCondition(std::string_view names, std::string_view text);
  // A new label name: "Label" followed by the incremented counter.
  std::string NewLabel();
  // ValueType of the last record; a number when the list is empty.
  std::uint8_t LastValueType() const { return Code.empty() ? kNumberType : Code.back().ValueType; }

  // Resets registers, stack depths, run-time text, notes, labels, variables and code.
  void ClearMemory();
  // Resets what a run leaves behind (registers, stack depths, the run-time
  // text), keeping variables, code, labels and the explanations read.
  void ResetRunState();
  // Empties the code list and restarts the labels, keeping everything else.
  void ClearCode();
  // Makes room for a code list of that many records at once, so that code
  // of a known size is neither copied as it grows nor left with spare room.
  void ReserveCode(std::size_t records);

  // Executes the code list once; true when the sentence holds or there is no code.
  bool Run();

  // Marks the record just appended as coming from that place of the
  // sentence, so that a run taking notes can say where it fell back.
  void PlaceLastRecord(std::int32_t position, std::int32_t argumentStart, std::int32_t argumentEnd);

  // Empties the run-time text alone (C++ hosts; the flat exports never do).
  void ClearRuntimeError() { DropExplanation(); }

  // Reuses the explanations read from a sentence in later runs of the same
  // sentence. Off, every run reads the sentence again; the results and the
  // tokeniser's final state are the same.
  bool UseExplanationCache = true;

  // Executes the runs of actions the analyser emits together as single
  // steps, and (with UseRegisterCode) number runs as register forms, from the
  // second run of the same code on: a rule analysed for one run does not pay
  // for making them. Off, every record is its own step; the results, the registers,
  // the stacks and the run-time text are the same.
  bool UseSuperinstructions = true;

  // Evaluates each run of number loads, arithmetic and the comparison that
  // ends it into number slots, without a push and pop for every left
  // operand. Off, the records run as they are (or as superinstructions);
  // the results, the registers, the stacks, the run-time text and the notes
  // are the same.
  bool UseRegisterCode = true;

  // Lists in Notes, each run, where a built-in, a division or a numeric
  // variable fell back to its fallback value. The results, the registers,
  // the stacks and the run-time text are the same either way; a run without
  // notes leaves Notes as it was.
  bool TakeNotes = false;

  SRegisters Registers;
  TVarTable OwnVars;  // the table of a machine that shares none
  TVarTable& Vars;    // the table the machine reads: OwnVars or the shared one
  std::vector<SCodeStruct> Code;
  std::vector<double> FloatStack;         // grows with use, to kStackCapacity entries
  std::int32_t FloatTop = 0;
  std::vector<std::string> StringStack;   // as FloatStack
  std::int32_t StringTop = 0;
  std::string RuntimeError;
  // The clauses the explanation in RuntimeError is made of, in its order;
  // empty when RuntimeError is no explanation.
  std::vector<SFailedClause> FailedClauses;
  // The explanations of the conditions compiled from the extended
  // language, by number; emptied with the code.
  std::vector<SConditionExplanation> Conditions;
  // The fallbacks of the last run that took notes, in the order they happened.
  std::vector<SRunNote> Notes;
  // Where the records that may fall back came from, in code order.
  std::vector<SSourcePlace> Places;
  // True when a run-time error (not a false result) ended the last run.
  bool StoppedByError = false;
  std::int32_t LabelCount = 0;
  TTokenAnalyser& Tokeniser;
  const SHostEnvironment& Environment;
  // Asked before every instruction; when it says stop, the run ends with a
  // run-time error. Null: never asked.
  TInterruptHook* Interrupt = nullptr;

 private:
  // --- The run loop and its steps (Engine.cpp) ---
  // Noting: the records that may fall back are looked at as they run.
  template <bool Noting>
  bool RunCode(SRunState& run);
  void ExecuteArithmetic(EMOpCode op);
  void ExecuteLogic(EMOpCode op);
  // Groups of an extended sentence's explanation: a group's failed clauses
  // are dropped when it turns out true, or replaced by the group's own
  // explanation (NOT, IN, IS EMPTY).
  void OpenGroup() { GroupStarts.push_back(FailedClauses.size()); }
  void CloseGroup();
  void ExplainGroup(std::int32_t condition);
  void DropExplanationSince(std::size_t clauses);
  void ExplainCondition(std::int32_t condition);
  void Jump(std::size_t& pc, const SPreparedCode& prepared);
  bool FinishRun(SRunState& run);
  const SVarStruct* LookUpVariable(std::size_t pc);
  // An opMovF into a number register; false, with the run-time text, when
  // the variable is missing.
  bool LoadNumberVariable(std::size_t pc) {
    const SPreparedCode& p = Prepared[pc];
    if (!CachedVariableNumber(p, *p.NumberTarget)) {
      if (LookUpVariable(pc) == nullptr) return FailMissingVariable(pc);
      *p.NumberTarget = VariableAsNumber(p);
    }
    return true;
  }
  // The number an opMovF loads when its variable was found before and its
  // value was read since it last changed; false otherwise (value untouched).
  bool CachedVariableNumber(const SPreparedCode& p, double& value) const {
    if (p.VarIndex < 0 || p.VarGeneration != Vars.Generation) return false;
    const auto index = static_cast<std::size_t>(p.VarIndex);
    if (index >= LoadedNumbers.size() || LoadedNumbers[index].Revision != Vars.Revision(index)) return false;
    value = LoadedNumbers[index].IsNumber ? LoadedNumbers[index].Value : NullNumber;
    return true;
  }
  double VariableAsNumber(const SPreparedCode& prepared);
  // The next entry of a stack, or nullptr when it is full. The stacks grow
  // as runs need them, up to kStackCapacity entries; an entry once made
  // stays (a pop only moves the top), as in a stack of fixed size. May throw
  // std::bad_alloc.
  template <typename Entry>
  static Entry* PushSlot(std::vector<Entry>& stack, std::int32_t& top) {
    if (top >= kStackCapacity) return nullptr;
    const auto index = static_cast<std::size_t>(top);
    if (index == stack.size()) stack.emplace_back();
    ++top;
    return &stack[index];
  }
  bool FailMissingVariable(std::size_t pc);
  bool Fail(EMMessage message);
  void ResolveJumps();

  // --- Notes (RunNotes.cpp) ---
  const SSourcePlace* PlaceOf(std::size_t pc) const;
  std::string ArgumentText(const SSourcePlace& place) const;
  void AddNote(std::size_t pc, ENoteKind kind, std::string value, std::string reason);
  void NoteBuiltin(std::size_t pc);
  void NoteUnreadDate(std::size_t pc);
  void NoteDivision(std::size_t pc, double divisor);
  void NoteUnreadNumber(std::size_t pc);
  void NoteRightOperand(std::size_t pc, bool fromVariable);

  // --- Superinstructions (Superinstructions.cpp) ---
  // Every record its own step, for code not run before.
  void UnfuseAll();
  // The superinstructions and the register forms, over unfused code.
  void FuseAll();
  bool LoadAndPushNumber(std::size_t pc);
  bool RightOperand(std::size_t pc, bool fromVariable);
  void CompareWithConstant(std::size_t pc, SRunState& run);
  bool CompareVariables(std::size_t pc, SRunState& run);
  bool PopAndLogic(std::size_t pc);

  // --- The register form (RegisterCode.cpp) ---
  void CompileRegisterForms();
  bool RunRegisterForm(SRegisterExpression& form, SRunState& run);
  bool NumberOfVariable(std::size_t pc, double& value);

  // --- Preparation (VirtualMachine.cpp) ---
  SPreparedCode Prepare(const SCodeStruct& record);
  static EMAction ActionOf(const SCodeStruct& record, const SPreparedCode& prepared);
  void PrepareAll();

  // --- Explanations (Explanations.cpp) ---
  void ScanClause(std::int32_t& position, std::string& names, std::string& text);
  EMWordType ScanCondition(std::int32_t position, std::string& text);
  void SkipPastWord(std::int32_t& position, EMWordType kind);
  void ScanBranch(std::int32_t position, std::string& names, std::string& text);
  std::string ClauseEntry(std::int32_t& cursor, std::size_t& namesLength);
  std::string BranchText(bool thenBranch, std::size_t& namesLength);
  void AppendClauseEntry(const std::string& entry, std::size_t namesLength);
  void SetBranchExplanation(const std::string& text, std::size_t namesLength);
  void DropExplanation() {
    RuntimeError.clear();
    FailedClauses.clear();
  }
  // Every comparison consumes the next clause of the sentence; a false one
  // that names variables adds "names::clause;" to the run-time text. One
  // compiled from the extended language gives its condition's explanation.
  void ExplainComparison(SRunState& run, const SPreparedCode& comparison) {
    if (comparison.Condition != kClauseFromSentence) {
      ExplainCondition(comparison.Condition);
      return;
    }
    if (UseExplanationCache && run.ClauseIndex < Explanations.Clauses.size()) {
      const SClauseExplanation& clause = Explanations.Clauses[run.ClauseIndex++];
      run.PendingEnd.Record(clause.End);
      if (!Registers.BR) AppendClauseEntry(clause.Entry, clause.NamesLength);
      return;
    }
    ReadAndExplainComparison(run);
  }
  void ReadAndExplainComparison(SRunState& run);
  void ExplainBranch(bool thenBranch, SRunState& run);
  const SClauseExplanation& CachedClause(SRunState& run);
  STokeniserEnd TokeniserEnd(std::uint64_t wordsReadBefore) const;

  std::vector<SPreparedCode> Prepared;  // parallel to Code
  std::vector<SLoadedNumber> LoadedNumbers;  // parallel to the variable table
  TExplanationCache Explanations;
  // Where each open group's failed clauses start (counted in FailedClauses).
  std::vector<std::size_t> GroupStarts;
  std::size_t JumpsResolvedFor = 0;     // Code size when the jump targets were last resolved
  std::size_t FusedFor = 0;             // Code size when the superinstructions were last chosen
  bool FusedWith = false;               // UseSuperinstructions when they were chosen
  bool RegistersWith = false;           // UseRegisterCode when the register forms were made
  bool FusionDue = false;               // superinstructions and forms are to be made before the next run
  std::vector<SRegisterExpression> RegisterForms;
  char LabelBuffer[256] = {};
};

}  // namespace rulecalc
