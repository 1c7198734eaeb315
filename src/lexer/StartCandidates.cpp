#include "lexer/StartCandidates.h"

#include "lexer/Automata.h"

namespace rulecalc {

namespace {

std::array<std::vector<SStartCandidate>, 256> ReadStartCandidates() {
  std::array<std::vector<SStartCandidate>, 256> table;
  const auto& starts = AutomatonStartNodes();
  for (int first = 0; first < 256; ++first) {
    for (std::size_t i = 0; i < starts.size(); ++i) {
      const TBaseNode* second = starts[i]->Next(static_cast<std::uint8_t>(first));
      if (second->IsError()) continue;
      SStartCandidate candidate;
      candidate.Automaton = static_cast<std::uint8_t>(i);
      candidate.AcceptsOneByte = IsAccepting(*second);
      for (int next = 0; next < 256; ++next)
        candidate.SecondBytes[static_cast<std::size_t>(next)] = !second->Next(static_cast<std::uint8_t>(next))->IsError();
      table[static_cast<std::size_t>(first)].push_back(candidate);
    }
  }
  return table;
}

}  // namespace

const std::array<std::vector<SStartCandidate>, 256>& StartCandidates() {
  static const auto table = ReadStartCandidates();
  return table;
}

}  // namespace rulecalc
