#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

namespace rulecalc {

// What an automaton's first two steps decide, read from the automaton itself.
struct SStartCandidate {
  std::uint8_t Automaton = 0;     // index in the start-node list (kind order)
  bool AcceptsOneByte = false;    // the state after the first byte accepts
  std::bitset<256> SecondBytes;   // bytes that state does not send to the error node
};

// For each first byte, the automata whose start state does not reject it, in
// kind order. An automaton not listed for a byte cannot match there (no start
// state accepts), and one whose second state rejects the next byte matches
// exactly one byte or nothing, so the tokeniser need not run it.
const std::array<std::vector<SStartCandidate>, 256>& StartCandidates();

}  // namespace rulecalc
