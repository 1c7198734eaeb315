#include "lexer/CombinedAutomaton.h"

#include <map>
#include <utility>

#include "lexer/Automata.h"
#include "lexer/BaseNode.h"

namespace rulecalc {

namespace {

// The automata still alive, each with its current state, in kind order.
using TLiveStates = std::vector<std::pair<std::uint8_t, const TBaseNode*>>;

// Bytes that lead every state to the same next state fall into one class.
std::size_t ReadByteClasses(std::array<std::uint8_t, 256>& byteClass, std::vector<std::uint8_t>& representatives) {
  std::map<std::vector<const TBaseNode*>, std::uint8_t> classes;
  for (int byte = 0; byte < 256; ++byte) {
    std::vector<const TBaseNode*> answers;
    for (const SNamedNode& entry : AllStateNodes()) answers.push_back(entry.Node->Next(static_cast<std::uint8_t>(byte)));
    const auto found = classes.emplace(std::move(answers), static_cast<std::uint8_t>(classes.size()));
    if (found.second) representatives.push_back(static_cast<std::uint8_t>(byte));
    byteClass[static_cast<std::size_t>(byte)] = found.first->second;
  }
  return classes.size();
}

// Moves every live automaton on byte; the lowest kind that dies from an
// accepting state is the match that ends here.
TLiveStates Step(const TLiveStates& live, std::uint8_t byte, std::uint8_t& endingKind) {
  TLiveStates next;
  endingKind = wtError;
  for (const auto& [automaton, node] : live) {
    const TBaseNode* moved = node->Next(byte);
    if (!moved->IsError()) {
      next.emplace_back(automaton, moved);
    } else if (endingKind == wtError && IsAccepting(*node)) {
      endingKind = static_cast<std::uint8_t>(kFirstAutomatonKind + automaton);
    }
  }
  return next;
}

}  // namespace

TCombinedAutomaton::TCombinedAutomaton() {
  std::vector<std::uint8_t> representatives;
  ClassCount = static_cast<std::uint32_t>(ReadByteClasses(ByteClass, representatives));
  TLiveStates start;
  const auto& starts = AutomatonStartNodes();
  for (std::size_t i = 0; i < starts.size(); ++i) start.emplace_back(static_cast<std::uint8_t>(i), starts[i]);
  std::map<TLiveStates, std::uint32_t> numbers{{TLiveStates{}, 0}, {start, 1}};
  std::vector<TLiveStates> states{TLiveStates{}, start};
  for (std::size_t state = 0; state < states.size(); ++state) {
    for (std::uint8_t byte : representatives) {
      std::uint8_t endingKind = wtError;
      TLiveStates next = Step(states[state], byte, endingKind);
      const auto found = numbers.emplace(next, static_cast<std::uint32_t>(states.size()));
      if (found.second) states.push_back(std::move(next));
      Moves.push_back((found.first->second * ClassCount) << kRowShift | endingKind);
    }
  }
}

const TCombinedAutomaton& CombinedAutomaton() {
  static const TCombinedAutomaton automaton;
  return automaton;
}

}  // namespace rulecalc
