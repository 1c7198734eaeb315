#pragma once

#include <string>
#include <vector>

namespace rulecalc::bench {

struct SVariableDefinition {
  const char* Name;
  int Type;  // 0 numeric, 1 text
};

using Record = std::vector<std::string>;  // one value text per variable

// A benchmark rule: the sentence, its variables, and the same rule written
// for the peers and by hand (empty where a peer cannot express it).
struct SRule {
  const char* Id;
  const char* Sentence;
  std::vector<SVariableDefinition> Variables;
  const char* LuaChunk;
  const char* MuParserExpression;
  bool (*Native)(const Record&);
};

// R1..R5.
const std::vector<SRule>& Rules();

// Deterministic records for a rule, values as texts the way a host reads them.
const std::vector<Record>& RecordsFor(const SRule& rule);

}  // namespace rulecalc::bench
