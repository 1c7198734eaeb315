#include "lexer/TokenAnalyser.h"

#include <cstring>

#include "lexer/Automata.h"

namespace rulecalc {

TTokenAnalyser::TTokenAnalyser() {
  const auto& starts = AutomatonStartNodes();
  StartNodes.assign(starts.begin(), starts.end());
  for (int kind = kFirstAutomatonKind; kind <= kLastAutomatonKind; ++kind)
    WordTypes.push_back(static_cast<EMWordType>(kind));
  // An automaton whose start state rejects a byte cannot match at that byte
  // (no start state accepts), so it need not be run there.
  for (int byte = 0; byte < 256; ++byte) {
    for (std::size_t i = 0; i < StartNodes.size(); ++i) {
      const TBaseNode* start = StartNodes[i];
      if (IsAccepting(*start) || !start->Next(static_cast<std::uint8_t>(byte))->IsError())
        CandidatesByFirstByte[byte].push_back(static_cast<std::uint8_t>(i));
    }
  }
}

void TTokenAnalyser::SetSentence(const char* text) {
  if (text == nullptr) text = "";
  Sentence.assign(text, std::strlen(text));
  SentenceLength = static_cast<std::int32_t>(Sentence.size());
  Position = 0;
}

std::int32_t TTokenAnalyser::MatchLength(std::size_t automaton, std::int32_t p) const {
  const char* bytes = Sentence.c_str();
  const TBaseNode* node = StartNodes[automaton];
  const TBaseNode* previous = node;
  std::int32_t j = p;
  // Every state goes to the error node on the terminating NUL, so the walk
  // never passes the end of the sentence.
  while (!node->IsError()) {
    previous = node;
    node = node->Next(static_cast<std::uint8_t>(bytes[j]));
    ++j;
  }
  return IsAccepting(*previous) ? j - 1 - p : 0;
}

void TTokenAnalyser::NextToken() {
  WordType = wtEnd;
  if (Position < 0 || Position >= SentenceLength) return;
  const std::int32_t p = Position;
  std::int32_t bestLength = 0;
  EMWordType bestKind = wtError;
  const auto first = static_cast<std::uint8_t>(Sentence[static_cast<std::size_t>(p)]);
  for (std::uint8_t i : CandidatesByFirstByte[first]) {
    const std::int32_t length = MatchLength(i, p);
    if (length > bestLength) {
      bestLength = length;
      bestKind = WordTypes[i];
    }
  }
  if (bestLength == 0) bestLength = 1;  // wtError: the one byte that starts no token
  WordType = bestKind;
  Word.assign(Sentence, static_cast<std::size_t>(p), static_cast<std::size_t>(bestLength));
  Position = p + bestLength;
}

}  // namespace rulecalc
