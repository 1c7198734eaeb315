#include "common/Messages.h"
#include "vm/VirtualMachine.h"

// Explanations of a false result. The code keeps no source positions, so the
// machine reads the sentence again through the shared tokeniser and copies
// the stretches it needs token by token, white space included. The scanners
// leave the tokeniser wherever their last read stopped.

namespace rulecalc {

namespace {

constexpr const char* kNamesSeparator = "::";
constexpr const char* kEntryEnd = ";";
constexpr char kNameJoiner = ',';

// Adds a variable name to a ","-joined list unless it is there already
// (exact comparison).
void AppendNameOnce(std::string& names, std::string_view name) {
  std::size_t start = 0;
  while (start < names.size()) {
    std::size_t end = names.find(kNameJoiner, start);
    if (end == std::string::npos) end = names.size();
    if (std::string_view(names).substr(start, end - start) == name) return;
    start = end + 1;
  }
  if (!names.empty()) names += kNameJoiner;
  names.append(name);
}

bool StopsClause(EMWordType k) { return k == wtAnd || k == wtOr || k == wtSemicolon || k == wtEnd; }
bool StopsBranch(EMWordType k) { return k == wtElse || k == wtSemicolon || k == wtEnd; }
bool StopsCondition(EMWordType k) { return k == wtThen || k == wtSemicolon || k == wtEnd; }

}  // namespace

// Reads one clause: up to AND, OR, ";" or the end; the position moves past the stopping word.
void TVirtualMachine::ScanClause(std::int32_t& position, std::string& names, std::string& text) {
  names.clear();
  text.clear();
  Tokeniser.Position = position;
  for (Tokeniser.NextToken(); !StopsClause(Tokeniser.WordType); Tokeniser.NextToken()) {
    text += Tokeniser.Word;
    if (Tokeniser.WordType == wtFieldName) AppendNameOnce(names, Tokeniser.Word);
  }
  position = Tokeniser.Position;
}

// Reads from the position up to THEN, ";" or the end.
EMWordType TVirtualMachine::ScanCondition(std::int32_t position, std::string& text) {
  text.clear();
  Tokeniser.Position = position;
  for (Tokeniser.NextToken(); !StopsCondition(Tokeniser.WordType); Tokeniser.NextToken())
    text += Tokeniser.Word;
  return Tokeniser.WordType;
}

// Moves the position just past the next word of the kind (or past ";" or to the end).
void TVirtualMachine::SkipPastWord(std::int32_t& position, EMWordType kind) {
  Tokeniser.Position = position;
  do {
    Tokeniser.NextToken();
  } while (Tokeniser.WordType != kind && Tokeniser.WordType != wtSemicolon &&
           Tokeniser.WordType != wtEnd);
  position = Tokeniser.Position;
}

// Reads a branch: up to ELSE, ";" or the end. The position is not moved.
void TVirtualMachine::ScanBranch(std::int32_t position, std::string& names, std::string& text) {
  names.clear();
  text.clear();
  Tokeniser.Position = position;
  for (Tokeniser.NextToken(); !StopsBranch(Tokeniser.WordType); Tokeniser.NextToken()) {
    text += Tokeniser.Word;
    if (Tokeniser.WordType == wtFieldName) AppendNameOnce(names, Tokeniser.Word);
  }
}

// Every comparison consumes the next clause of the sentence; a false one
// that names variables adds "names::clause;" to the run-time text.
void TVirtualMachine::ExplainComparison(SRunState& run) {
  ScanClause(run.ClauseCursor, run.Names, run.ClauseText);
  if (Registers.BR || run.Names.empty() || run.ClauseText.empty()) return;
  RuntimeError.append(run.Names).append(kNamesSeparator).append(run.ClauseText).append(kEntryEnd);
}

// A false THEN or ELSE branch: the condition, "holds, then" or "does not
// hold, then", and the branch, led by the branch's variable names.
void TVirtualMachine::ExplainBranch(std::string_view marker, SRunState& run) {
  const bool thenBranch = marker == kMarkerThen;
  std::string condition;
  ScanCondition(0, condition);
  RuntimeError = condition + Message(thenBranch ? mBranchHolds : mBranchFails);
  std::int32_t branchStart = 0;
  SkipPastWord(branchStart, thenBranch ? wtThen : wtElse);
  ScanBranch(branchStart, run.Names, run.ClauseText);
  if (run.Names.empty() || run.ClauseText.empty()) return;
  RuntimeError = run.Names + kNamesSeparator + RuntimeError + run.ClauseText;
}

}  // namespace rulecalc
