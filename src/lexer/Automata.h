#pragma once

#include <array>
#include <cstddef>

#include "lexer/BaseNode.h"
#include "lexer/WordType.h"

namespace rulecalc {

constexpr std::size_t kStateNodeCount = 163;

struct SNamedNode {
  const char* Name;
  const TBaseNode* Node;
};

// Every state of every automaton, with its class name, chain by chain.
const std::array<SNamedNode, kStateNodeCount>& AllStateNodes();

// The start state of each automaton, in kind order wtNull .. wtUnequal.
const std::array<const TBaseNode*, kAutomatonCount>& AutomatonStartNodes();

}  // namespace rulecalc
