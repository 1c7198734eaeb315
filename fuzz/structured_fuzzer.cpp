// Structured target: the input is a list of calls, separated by NUL bytes,
// each starting with one letter that names the export:
//
//   S<text>              SetSentence(text)         s   SetSentence(null)
//   V<t><name>=<value>   SetVarValue(name, value, type code t)
//   v<t><k><name>=<value> the same with a null name (k & 1) or value (k & 2)
//   C ClearMemory   T GetTokens   N GetNumbers   W GetVarnames
//   A Analyse       E GetAnalyseError   R Run    X GetRuntimeError
//
// Anything else is skipped. The calls go to a fresh C++ instance in the order
// given, and to one reading the extended language. Afterwards the last
// sentence and the variables set since the last ClearMemory go once more, in
// the host's order, through that instance and through the flat exports (whose
// history is every earlier input): the answers must be the same. They go
// through both instances as well: the same account in both languages unless
// the sentence names one of the extended language's keywords as a variable
// (then the extended language refuses a first statement the classic one
// analyses).

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzChecks.h"
#include "boundary/RuleCalc.h"
#include "support/RuleAnswers.h"

namespace {

using rulecalc::fuzzing::Held;
using rulecalc::testing::SVariable;

// '0' to '9' stand for themselves; any other byte picks a code from the edges.
std::int32_t TypeCode(unsigned char t) {
  if (t >= '0' && t <= '9') return t - '0';
  static constexpr std::int32_t kEdges[] = {-1, std::numeric_limits<std::int32_t>::min(),
                                            std::numeric_limits<std::int32_t>::max(), 256, 65536, -256};
  return kEdges[t % (sizeof kEdges / sizeof kEdges[0])];
}

struct TSession {
  rulecalc::TRuleCalc Calc;
  std::string Sentence;
  std::vector<SVariable> Variables;  // since the last ClearMemory

  void SetVariable(std::string_view record, std::int32_t type, bool nullName, bool nullValue) {
    const std::size_t split = record.find('=');
    const std::string name(record.substr(0, split));
    const std::string value(split == std::string_view::npos ? std::string_view() : record.substr(split + 1));
    Calc.SetVarValue(nullName ? nullptr : name.c_str(), nullValue ? nullptr : value.c_str(), type);
    Variables.push_back({nullName ? "" : name, nullValue ? "" : value, type});
  }

  void Call(std::string_view record) {
    if (record.empty()) return;
    const std::string_view rest = record.substr(1);
    switch (record[0]) {
      case 'S':
        Sentence.assign(rest);
        Calc.SetSentence(Sentence.c_str());
        break;
      case 's':
        Sentence.clear();
        Calc.SetSentence(nullptr);
        break;
      case 'V':
        if (!rest.empty()) SetVariable(rest.substr(1), TypeCode(static_cast<unsigned char>(rest[0])), false, false);
        break;
      case 'v':
        if (rest.size() >= 2) {
          const auto nulls = static_cast<unsigned char>(rest[1]);
          SetVariable(rest.substr(2), TypeCode(static_cast<unsigned char>(rest[0])), nulls & 1, nulls & 2);
        }
        break;
      case 'C':
        Calc.ClearMemory();
        Variables.clear();
        break;
      case 'T': Held(Calc.GetTokens()); break;
      case 'N': Held(Calc.GetNumbers()); break;
      case 'W': Held(Calc.GetVarnames()); break;
      case 'A': Calc.Analyse(); break;
      case 'E': Held(Calc.GetAnalyseError()); break;
      case 'R': Calc.Run(); break;
      case 'X': Held(Calc.GetRuntimeError()); break;
      default: break;
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  TSession session;
  TSession extended;
  extended.Calc.SetLanguage(rulecalc::ELanguage::Extended);
  std::size_t calls = 0;
  for (std::size_t start = 0; start <= input.size() && calls < 4096; ++calls) {
    std::size_t end = input.find('\0', start);
    if (end == std::string_view::npos) end = input.size();
    session.Call(input.substr(start, end - start));
    extended.Call(input.substr(start, end - start));
    start = end + 1;
  }

  rulecalc::testing::TFlatExports flat;
  const auto viaInstance =
      rulecalc::testing::AnswerRule(session.Calc, session.Variables, session.Sentence.c_str(), Held);
  const auto viaExports =
      rulecalc::testing::AnswerRule(flat, session.Variables, session.Sentence.c_str(), Held);
  rulecalc::fuzzing::RequireSame(viaInstance.Describe(), viaExports.Describe(),
                                 "the same rule answers differently after different histories");
  rulecalc::fuzzing::RequireSameInBothLanguages(session.Calc, extended.Calc, session.Variables, session.Sentence);
  return 0;
}
