#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "lexer/WordType.h"

namespace rulecalc {

// The 39 token automata run side by side as one table-driven automaton. Its
// states are the sets of automaton states still alive after the same bytes,
// read from the state classes (their Next and IsFinal) when the tables are
// first used. One pass over the bytes gives what running every automaton and
// keeping the longest match gives: an automaton matches the bytes it read
// before it died, if the state it died in accepts; a longer match wins, and
// on equal length the lower kind.
class TCombinedAutomaton {
 public:
  TCombinedAutomaton();

  // The length of the longest match at the start of text, which must be
  // NUL-terminated (every state dies on NUL), with its kind in kind; 0 and
  // wtError when no automaton matches.
  std::int32_t LongestMatch(const std::uint8_t* text, EMWordType& kind) const {
    std::uint32_t row = kDeadRow + ClassCount;  // the start state's
    std::int32_t best = 0;
    kind = wtError;
    for (std::int32_t j = 0; row != kDeadRow; ++j) {
      const std::uint32_t move = Moves[row + ByteClass[text[j]]];
      if ((move & kKindMask) != wtError) {
        best = j;
        kind = static_cast<EMWordType>(move & kKindMask);
      }
      row = move >> kRowShift;
    }
    return best;
  }

  std::size_t StateCount() const { return Moves.size() / ClassCount; }
  std::size_t ByteClassCount() const { return ClassCount; }

 private:
  static constexpr std::uint32_t kDeadRow = 0;  // state 0, no automaton alive; state 1 is the start
  static constexpr std::uint32_t kRowShift = 8;
  static constexpr std::uint32_t kKindMask = 0xFF;

  std::array<std::uint8_t, 256> ByteClass{};  // bytes every state treats alike share a class
  std::uint32_t ClassCount = 0;
  // One entry per state and byte class, at state * ClassCount + class: the
  // next state's row (its number times ClassCount) above kRowShift, and below
  // it the kind of the best match that ends on that move (the lowest kind
  // whose automaton dies there from an accepting state), or wtError.
  std::vector<std::uint32_t> Moves;
};

// The one combined automaton, built on first use.
const TCombinedAutomaton& CombinedAutomaton();

}  // namespace rulecalc
