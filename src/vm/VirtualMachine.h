#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "boundary/VarTable.h"
#include "lexer/TokenAnalyser.h"
#include "platform/HostEnvironment.h"
#include "vm/CodeStruct.h"
#include "vm/OpCode.h"
#include "vm/Registers.h"

namespace rulecalc {

constexpr std::int32_t kStackCapacity = 2048;

// The number that a missing number loads as: the value of NullNumberText.
inline constexpr double NullNumber = 0.0000001;
// Tolerance of numeric equality: the single-precision value nearest 1e-9.
inline constexpr double EqualEpsilon = 9.999999717180685e-10;

// An instruction with its operand texts resolved for execution.
struct SPreparedCode {
  EMRegister Target = rNone;   // register named by Operand1
  EMRegister Source = rNone;   // register named by Operand2
  bool ConstantIsNumber = false;
  double Constant = 0.0;       // Operand2 read as a number (opMovD)
  std::int32_t JumpTarget = -1;  // index of the label record (opJMP, opJNB); -1: none
  std::int32_t VarIndex = -1;    // index of the variable last found (opMovF)
};

// Per-run state: which section of an IF statement is running, and where the
// explanation of the next comparison starts in the sentence.
struct SRunState {
  std::string_view SectionMarker;
  std::int32_t ClauseCursor = 0;
  std::string Names;
  std::string ClauseText;
};

// The register-and-stack machine: holds the variables, the code list, the
// registers and stacks, and the run-time text. It reads the sentence again
// through the shared tokeniser to explain a false result.
class TVirtualMachine {
 public:
  TVirtualMachine(TTokenAnalyser& tokeniser, const SHostEnvironment& environment);

  // --- Variables ---
  void SetVar(std::string_view name, std::string_view value, std::int32_t type) {
    Vars.SetVar(name, value, type);
  }
  bool FindVar(std::string_view name, SVarStruct& out) const { return Vars.FindVar(name, out); }

  // --- Code emission ---
  // Appends one instruction; validates nothing.
  void AddCode(std::uint8_t opCode, std::string_view operand1, std::string_view operand2,
               std::uint8_t valueType);
  // A new label name: "Label" followed by the incremented counter.
  std::string NewLabel();
  // ValueType of the last record; 0 when the list is empty.
  std::uint8_t LastValueType() const { return Code.empty() ? 0 : Code.back().ValueType; }

  // Resets registers, stack depths, run-time text, labels, variables and code.
  void ClearMemory();

  // Executes the code list once; true when the sentence holds or there is no code.
  bool Run();

  // Empties the run-time text alone (C++ hosts; the flat exports never do).
  void ClearRuntimeError() { RuntimeError.clear(); }

  SRegisters Registers;
  TVarTable Vars;
  std::vector<SCodeStruct> Code;
  std::vector<double> FloatStack;
  std::int32_t FloatTop = 0;
  std::vector<std::string> StringStack;
  std::int32_t StringTop = 0;
  std::string RuntimeError;
  std::int32_t LabelCount = 0;
  TTokenAnalyser& Tokeniser;
  const SHostEnvironment& Environment;

 private:
  // --- The run loop and its steps (Engine.cpp) ---
  enum class EMStep { Next, Stop };
  EMStep Execute(std::size_t& pc, SRunState& run);
  void ExecuteArithmetic(EMOpCode op);
  void ExecuteComparison(EMOpCode op, std::uint8_t valueType, SRunState& run);
  EMStep ExecuteMove(const SCodeStruct& ins, SPreparedCode& prepared);
  EMStep ExecutePush(const SCodeStruct& ins, const SPreparedCode& prepared);
  EMStep ExecutePop(const SCodeStruct& ins, const SPreparedCode& prepared);
  void ExecuteLogic(EMOpCode op);
  void Jump(std::size_t& pc, const SPreparedCode& prepared);
  bool FinishRun(SRunState& run);
  const SVarStruct* LookUpVariable(const SCodeStruct& ins, SPreparedCode& prepared);
  void ResolveJumps();
  static SPreparedCode Prepare(const SCodeStruct& record);
  void PrepareAll();
  EMStep Fail(const std::string& message);

  // --- Explanations (Explanations.cpp) ---
  void ScanClause(std::int32_t& position, std::string& names, std::string& text);
  EMWordType ScanCondition(std::int32_t position, std::string& text);
  void SkipPastWord(std::int32_t& position, EMWordType kind);
  void ScanBranch(std::int32_t position, std::string& names, std::string& text);
  void ExplainComparison(SRunState& run);
  void ExplainBranch(std::string_view marker, SRunState& run);

  std::vector<SPreparedCode> Prepared;  // parallel to Code
  std::size_t JumpsResolvedFor = 0;     // Code size when the jump targets were last resolved
  char LabelBuffer[256] = {};
};

}  // namespace rulecalc
