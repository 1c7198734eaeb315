#pragma once

#include <cstdint>

namespace rulecalc {

// One state of a token automaton. A state is an object: its transition rule
// is the body of its class's Next. States carry no data and are shared,
// never-destroyed singletons.
class TBaseNode {
 public:
  // The state reached on the byte. Total: every byte value has an answer.
  virtual const TBaseNode* Next(std::uint8_t byte) const = 0;
  // True in an accepting state.
  virtual bool IsFinal() const { return false; }
  // True only in the dead state.
  virtual bool IsError() const { return false; }

 protected:
  constexpr TBaseNode() = default;
  ~TBaseNode() = default;
};

// The dead state shared by all automata. It answers every byte with itself.
// Its IsFinal is true, but a state counts as accepting only when it is final
// and not the error node, so it never accepts.
class TErrorNode final : public TBaseNode {
 public:
  static const TErrorNode Instance;
  const TBaseNode* Next(std::uint8_t) const override { return &Instance; }
  bool IsFinal() const override { return true; }
  bool IsError() const override { return true; }
};

inline const TErrorNode TErrorNode::Instance{};

// The accepting test used by the tokeniser.
inline bool IsAccepting(const TBaseNode& node) { return node.IsFinal() && !node.IsError(); }

}  // namespace rulecalc
