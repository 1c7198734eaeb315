#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/Interrupt.h"
#include "common/Language.h"
#include "lexer/BaseNode.h"
#include "lexer/CombinedAutomaton.h"
#include "lexer/StartCandidates.h"
#include "lexer/WordType.h"

namespace rulecalc {

// Cuts the sentence into tokens on demand, one per NextToken. Each call runs
// the 39 automata from the current position and keeps the longest match; on
// equal length the automaton of the lower kind wins. There is no
// backtracking: an automaton that dies in a non-accepting state matches
// nothing. White space is a token of its own (wtSpliter).
class TTokenAnalyser {
 public:
  TTokenAnalyser();

  // Scans one token at Position and updates WordType, Word and Position.
  // At or past the end: WordType is wtEnd and Word, Position stay as they were.
  // No match: wtError with the single byte at Position as Word.
  void NextToken();
  // As NextToken, but Word stays as it was: the token is the bytes of
  // Sentence from the old Position to the new one.
  void SkipToken();

  // Replaces the sentence (up to its first NUL) and rewinds Position to 0.
  // Word and WordType are left as they were.
  void SetSentence(const char* text);

  std::vector<const TBaseNode*> StartNodes;  // start state of each automaton
  std::vector<EMWordType> WordTypes;         // kind recognised by each automaton
  std::string Word;                          // text of the current token
  EMWordType WordType = wtEnd;               // kind of the current token
  std::string Sentence;                      // the sentence; always NUL-terminated
  std::int32_t SentenceLength = 0;           // bytes, terminator not counted
  // Changes whenever SetSentence gives another text (the same text again
  // leaves it), so that what was derived from a sentence can be kept.
  std::uint64_t SentenceRevision = 0;
  std::int32_t Position = 0;                 // first byte not yet consumed

  // Counts the tokens read (every NextToken that set Word), so that a reader
  // can tell whether Word changed.
  std::uint64_t WordsRead = 0;
  // Runs only the automata whose first two states do not already decide the
  // outcome at the current bytes. Off, every automaton runs at every
  // position; the tokens are the same.
  bool UseFirstByteFilter = true;
  // Runs the automata side by side as one table-driven automaton, one pass
  // over the bytes. Off, they run one by one (filtered or not, as above);
  // the tokens are the same.
  bool UseCombinedAutomaton = true;
  // Extended: an identifier that spells one of the extended language's
  // keywords is that keyword (NOT, IN, TRIM, ...), not a variable name.
  ELanguage Language = ELanguage::Classic;
  // Asked before every token; when it says stop, NextToken and SkipToken
  // throw SInterrupted. Null: never asked.
  TInterruptHook* Interrupt = nullptr;

 private:
  // The length of the token at Position (at least 1), its kind in WordType;
  // 0 and wtEnd at or past the end.
  std::int32_t TokenLength();
  // Length of the bytes that automaton i accepts at p, or 0 when it matches nothing.
  std::int32_t MatchLength(std::size_t automaton, std::int32_t p) const;
  // The length of the token at p; sets WordType to its kind.
  std::int32_t LongestMatchOfAll(std::int32_t p);
  std::int32_t LongestMatchOfCandidates(std::int32_t p);
  std::int32_t LongestMatchCombined(std::int32_t p);
  void TakeWord(std::int32_t p, std::size_t length);
  // Gives an identifier of length bytes at p its keyword kind in the extended language.
  void ClassifyIdentifier(std::int32_t p, std::int32_t length);

  const std::array<std::vector<SStartCandidate>, 256>* Candidates;
  const TCombinedAutomaton* Combined;
};

}  // namespace rulecalc
