#include "lexer/TokenAnalyser.h"

#include <cstring>

#include "lexer/Automata.h"
#include "lexer/ExtendedKeywords.h"
#include "lexer/StartCandidates.h"

namespace rulecalc {

TTokenAnalyser::TTokenAnalyser() : Candidates(&StartCandidates()), Combined(&CombinedAutomaton()) {
  const auto& starts = AutomatonStartNodes();
  StartNodes.assign(starts.begin(), starts.end());
  for (int kind = kFirstAutomatonKind; kind <= kLastAutomatonKind; ++kind)
    WordTypes.push_back(static_cast<EMWordType>(kind));
}

void TTokenAnalyser::SetSentence(const char* text) {
  const std::size_t length = std::strlen(text);
  if (Sentence.compare(0, std::string::npos, text, length) != 0) {
    Sentence.assign(text, length);
    ++SentenceRevision;
  }
  SentenceLength = static_cast<std::int32_t>(Sentence.size());
  Position = 0;
}

std::int32_t TTokenAnalyser::MatchLength(std::size_t automaton, std::int32_t p) const {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(Sentence.c_str());
  // The error node is the one state whose IsError is true, so reaching it is
  // recognised by its address.
  const TBaseNode* const dead = &TErrorNode::Instance;
  const TBaseNode* node = StartNodes[automaton];
  const TBaseNode* previous = node;
  std::int32_t j = p;
  // Every state goes to the error node on the terminating NUL, so the walk
  // never passes the end of the sentence.
  while (node != dead) {
    previous = node;
    node = node->Next(bytes[j]);
    ++j;
  }
  // previous is never the error node, so accepting means final.
  return previous->IsFinal() ? j - 1 - p : 0;
}

void TTokenAnalyser::NextToken() {
  const std::int32_t length = TokenLength();
  if (length == 0) return;
  TakeWord(Position, static_cast<std::size_t>(length));
  ++WordsRead;
  Position += length;
}

void TTokenAnalyser::SkipToken() {
  const std::int32_t length = TokenLength();
  if (length == 0) return;
  ++WordsRead;
  Position += length;
}

std::int32_t TTokenAnalyser::TokenLength() {
  if (Interrupt != nullptr && Interrupt->StopRequested()) throw SInterrupted{};
  WordType = wtEnd;
  if (Position < 0 || Position >= SentenceLength) return 0;
  const std::int32_t length = UseCombinedAutomaton ? LongestMatchCombined(Position)
                              : UseFirstByteFilter ? LongestMatchOfCandidates(Position)
                                                   : LongestMatchOfAll(Position);
  if (WordType == wtFieldName && Language == ELanguage::Extended) ClassifyIdentifier(Position, length);
  return length;
}

void TTokenAnalyser::ClassifyIdentifier(std::int32_t p, std::int32_t length) {
  WordType = ExtendedKeywordKind(std::string_view(Sentence).substr(static_cast<std::size_t>(p),
                                                                   static_cast<std::size_t>(length)));
}

// Copies the token into Word (clearing and appending costs less than the
// general assignment for these short words).
void TTokenAnalyser::TakeWord(std::int32_t p, std::size_t length) {
  Word.clear();
  Word.append(Sentence.data() + p, length);
}

// Runs every automaton in kind order; a later one must be strictly longer to
// win. No match is a one-byte wtError token.
std::int32_t TTokenAnalyser::LongestMatchOfAll(std::int32_t p) {
  std::int32_t best = 0;
  WordType = wtError;
  for (std::size_t i = 0; i < StartNodes.size(); ++i) {
    const std::int32_t length = MatchLength(i, p);
    if (length > best) {
      best = length;
      WordType = WordTypes[i];
    }
  }
  return best > 0 ? best : 1;
}

// The same answer in one pass of the combined automaton.
std::int32_t TTokenAnalyser::LongestMatchCombined(std::int32_t p) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(Sentence.c_str());
  const std::int32_t best = Combined->LongestMatch(bytes + p, WordType);
  return best > 0 ? best : 1;
}

// The same answer, running only the automata whose first two states do not
// already decide the outcome.
std::int32_t TTokenAnalyser::LongestMatchOfCandidates(std::int32_t p) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(Sentence.c_str());
  const std::uint8_t second = bytes[p + 1];  // the terminating NUL at the end
  std::int32_t best = 0;
  WordType = wtError;
  for (const SStartCandidate& candidate : (*Candidates)[bytes[p]]) {
    const std::int32_t length = candidate.SecondBytes[second] ? MatchLength(candidate.Automaton, p)
                                                              : (candidate.AcceptsOneByte ? 1 : 0);
    if (length > best) {
      best = length;
      WordType = WordTypes[candidate.Automaton];
    }
  }
  return best > 0 ? best : 1;
}

}  // namespace rulecalc
