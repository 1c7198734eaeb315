#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/TokenAnalyser.h"

namespace rulecalc {

// Adds a variable name to a ","-joined list of an explanation unless it is
// there already (exact comparison).
void AppendNameOnce(std::string& names, std::string_view name);

// Where a scan of the sentence left the shared tokeniser.
struct STokeniserEnd {
  std::int32_t Position = 0;
  EMWordType WordType = wtEnd;
  bool WordRead = false;  // false: the scan read no token, so Word kept its text
  std::string Word;
};

// The explanation of the n-th comparison of a run: "names::clause;", or ""
// when the clause names no variable or is empty.
struct SClauseExplanation {
  std::string Entry;
  std::size_t NamesLength = 0;  // of the names that lead Entry
  STokeniserEnd End;  // End.Position is where the next clause starts
};

// The run-time text of a run that ended false in a THEN or ELSE branch:
// "names::" and the branch, or the branch alone when it names no variable.
struct SBranchExplanation {
  std::string Text;
  std::size_t NamesLength = 0;  // 0: no names and no "::"
  STokeniserEnd End;
};

// One failed clause of a run's explanation, as byte spans of the run-time
// text: its variable names (joined by ",") and its text (after "::",
// without the ";" that ends an entry).
struct SFailedClause {
  std::size_t NamesStart = 0;
  std::size_t NamesLength = 0;
  std::size_t TextStart = 0;
  std::size_t TextLength = 0;
};

// Explanations depend only on the sentence, so they are read from it once
// and reused by every later run of the same sentence.
class TExplanationCache {
 public:
  // Forgets what was read when the tokeniser's sentence is not the one
  // cached (its SentenceRevision changed).
  void UseSentence(std::uint64_t sentenceRevision);

  std::vector<SClauseExplanation> Clauses;     // in the order comparisons run
  std::optional<SBranchExplanation> ThenBranch;
  std::optional<SBranchExplanation> ElseBranch;

 private:
  std::uint64_t SentenceRevision = 0;  // the tokeniser's empty sentence
};

// The tokeniser state that cached scans would have left, applied once a run
// ends (or before the tokeniser is used for real again).
class TPendingTokeniserEnd {
 public:
  void Record(const STokeniserEnd& end) {
    Pending = true;
    Position = end.Position;
    WordType = end.WordType;
    if (end.WordRead) Word = &end.Word;
  }
  void ApplyTo(TTokenAnalyser& tokeniser);

 private:
  bool Pending = false;
  std::int32_t Position = 0;
  EMWordType WordType = wtEnd;
  const std::string* Word = nullptr;  // the last word a pending scan read
};

}  // namespace rulecalc
