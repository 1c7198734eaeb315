#include <cstring>

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

}  // namespace

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

namespace {

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

// The explanation of the clause at the cursor, "names::clause;", or "" when
// the clause names no variable or is empty. The cursor moves past the clause.
std::string TVirtualMachine::ClauseEntry(std::int32_t& cursor, std::size_t& namesLength) {
  std::string names, text;
  ScanClause(cursor, names, text);
  namesLength = 0;
  if (names.empty() || text.empty()) return {};
  namesLength = names.size();
  return names + kNamesSeparator + text + kEntryEnd;
}

std::string TVirtualMachine::AddCondition(std::string_view names, std::string_view text) {
  SConditionExplanation condition;
  if (!names.empty()) {
    condition.Entry.append(names).append(kNamesSeparator).append(text).append(kEntryEnd);
    condition.NamesLength = names.size();
  }
  Conditions.push_back(std::move(condition));
  return "#" + std::to_string(Conditions.size() - 1);
}

// Adds a clause's entry to the run-time text and its spans to the failed clauses.
void TVirtualMachine::AppendClauseEntry(const std::string& entry, std::size_t namesLength) {
  if (entry.empty()) return;
  SFailedClause clause;
  clause.NamesStart = RuntimeError.size();
  clause.NamesLength = namesLength;
  clause.TextStart = clause.NamesStart + namesLength + std::strlen(kNamesSeparator);
  clause.TextLength = entry.size() - namesLength - std::strlen(kNamesSeparator) - std::strlen(kEntryEnd);
  RuntimeError += entry;
  FailedClauses.push_back(clause);
}

// Makes a failed branch's text the run-time text: one failed clause, the
// branch with its condition.
void TVirtualMachine::SetBranchExplanation(const std::string& text, std::size_t namesLength) {
  RuntimeError = text;
  SFailedClause clause;
  clause.NamesLength = namesLength;
  clause.TextStart = namesLength == 0 ? 0 : namesLength + std::strlen(kNamesSeparator);
  clause.TextLength = text.size() - clause.TextStart;
  FailedClauses.assign(1, clause);
}

// The explanation of a false THEN or ELSE branch: the condition, "holds,
// then" or "does not hold, then", and the branch, led by the branch's
// variable names when it has any.
std::string TVirtualMachine::BranchText(bool thenBranch, std::size_t& namesLength) {
  namesLength = 0;
  std::string condition;
  ScanCondition(0, condition);
  std::string explanation = condition + Message(thenBranch ? mBranchHolds : mBranchFails);
  std::int32_t branchStart = 0;
  SkipPastWord(branchStart, thenBranch ? wtThen : wtElse);
  std::string names, text;
  ScanBranch(branchStart, names, text);
  if (names.empty() || text.empty()) return explanation;
  namesLength = names.size();
  return names + kNamesSeparator + explanation + text;
}

STokeniserEnd TVirtualMachine::TokeniserEnd(std::uint64_t wordsReadBefore) const {
  STokeniserEnd end;
  end.Position = Tokeniser.Position;
  end.WordType = Tokeniser.WordType;
  end.WordRead = Tokeniser.WordsRead != wordsReadBefore;
  if (end.WordRead) end.Word = Tokeniser.Word;
  return end;
}

// The clause of the run's next comparison, read from the sentence the first
// time and reused afterwards.
const SClauseExplanation& TVirtualMachine::CachedClause(SRunState& run) {
  auto& clauses = Explanations.Clauses;
  if (run.ClauseIndex < clauses.size()) {
    run.PendingEnd.Record(clauses[run.ClauseIndex].End);
    return clauses[run.ClauseIndex++];
  }
  run.PendingEnd.ApplyTo(Tokeniser);
  std::int32_t cursor = clauses.empty() ? 0 : clauses.back().End.Position;
  const std::uint64_t wordsRead = Tokeniser.WordsRead;
  SClauseExplanation clause;
  clause.Entry = ClauseEntry(cursor, clause.NamesLength);
  clause.End = TokeniserEnd(wordsRead);
  clauses.push_back(std::move(clause));
  ++run.ClauseIndex;
  return clauses.back();
}

// A comparison whose clause is not cached yet, or with the cache off.
void TVirtualMachine::ReadAndExplainComparison(SRunState& run) {
  if (UseExplanationCache) {
    const SClauseExplanation& clause = CachedClause(run);
    if (!Registers.BR) AppendClauseEntry(clause.Entry, clause.NamesLength);
    return;
  }
  std::size_t namesLength = 0;
  const std::string entry = ClauseEntry(run.ClauseCursor, namesLength);
  if (!Registers.BR) AppendClauseEntry(entry, namesLength);
}

// Replaces the run-time text with the explanation of the failed branch.
void TVirtualMachine::ExplainBranch(bool thenBranch, SRunState& run) {
  if (!UseExplanationCache) {
    std::size_t namesLength = 0;
    const std::string text = BranchText(thenBranch, namesLength);
    SetBranchExplanation(text, namesLength);
    return;
  }
  std::optional<SBranchExplanation>& cached = thenBranch ? Explanations.ThenBranch : Explanations.ElseBranch;
  if (!cached) {
    run.PendingEnd.ApplyTo(Tokeniser);
    const std::uint64_t wordsRead = Tokeniser.WordsRead;
    SBranchExplanation branch;
    branch.Text = BranchText(thenBranch, branch.NamesLength);
    branch.End = TokeniserEnd(wordsRead);
    cached = std::move(branch);
  } else {
    run.PendingEnd.Record(cached->End);
  }
  SetBranchExplanation(cached->Text, cached->NamesLength);
}

}  // namespace rulecalc
