#pragma once

// Random sentences of the rule language, valid and invalid, with a variable
// table to go with them. Deterministic for a given seed (the generator uses
// only the raw output of std::mt19937_64). Header-only and free of
// GoogleTest: the soak program and the tests use it.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "support/RuleAnswers.h"

namespace rulecalc::testing {

struct SGeneratedRule {
  std::vector<SVariable> Variables;
  std::string Sentence;
};

// What else a generator may write.
struct SGeneratorOptions {
  // Variables named as the extended language's keywords (IN, Mod, trim, ...)
  // beside the others, and now and then in the sentences. Off, a seed gives
  // the same rules as it always has.
  bool KeywordNames = false;
};

class TSentenceGenerator {
 public:
  explicit TSentenceGenerator(std::uint64_t seed, SGeneratorOptions options = {})
      : Random(seed), Options(options) {}

  // A rule: about two in three sentences are well formed, the rest are
  // broken in one place (a byte dropped, inserted or the sentence cut).
  SGeneratedRule Next() {
    SGeneratedRule rule;
    rule.Variables = Variables();
    rule.Sentence = Sentence();
    if (Pick(3) == 0) Break(rule.Sentence);
    return rule;
  }

  std::uint64_t Pick(std::uint64_t n) { return n == 0 ? 0 : Random() % n; }

 private:
  std::vector<SVariable> Variables() {
    static const char* const numbers[] = {"5", "0", "-2.5", "", "abc", "1e308", "45351.5", "-657434",
                                          "2958465", "2147483648", " 7 ", "0.0000001", "3.14159"};
    static const char* const texts[] = {"abcdef", "", "\xd6\xd0\xce\xc4", "x;y\"z", "2/29/2024",
                                        "yyyy-mm-dd", "  ", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij"};
    std::vector<SVariable> vars;
    for (const char* name : {"A", "B", "C", "D"}) vars.push_back({name, numbers[Pick(std::size(numbers))], 0});
    for (const char* name : {"S", "T", "U"}) vars.push_back({name, texts[Pick(std::size(texts))], 1});
    vars.push_back({"Q", numbers[Pick(std::size(numbers))], 2});
    vars.push_back({"R", texts[Pick(std::size(texts))], -1});
    if (Pick(4) == 0) vars.push_back({"LongText", std::string(Pick(3000), 't'), 1});
    if (Options.KeywordNames) {
      for (const char* name : kNumberKeywordNames) vars.push_back({name, numbers[Pick(std::size(numbers))], 0});
      for (const char* name : kTextKeywordNames) vars.push_back({name, texts[Pick(std::size(texts))], 1});
    }
    if (Pick(5) == 0) vars.erase(vars.begin() + static_cast<std::ptrdiff_t>(Pick(vars.size())));
    return vars;
  }

  std::string Sentence() {
    Depth = 0;
    switch (Pick(8)) {
      case 0: return Space() + ";";
      case 1: case 2: {
        std::string s = Word("IF") + " " + Logical() + " " + Word("THEN") + " " + Logical();
        if (Pick(2)) s += " " + Word("ELSE") + " " + Logical();
        return s + ";" + (Pick(4) == 0 ? " " + Logical() + ";" : "");
      }
      default: return Logical() + Space() + ";" + (Pick(4) == 0 ? Logical() + ";" : "");
    }
  }

  std::string Logical() {
    std::string s = Comparison();
    for (std::uint64_t n = Pick(4); n > 0; --n) s += " " + Word(Pick(2) ? "AND" : "OR") + " " + Comparison();
    return s;
  }

  std::string Comparison() {
    static const char* const ops[] = {"=", "<", ">", "<=", ">=", "<>"};
    const std::string op = ops[Pick(std::size(ops))];
    if (Pick(3) == 0) return Text() + Space() + op + Space() + Text();
    return Number() + Space() + op + Space() + Number();
  }

  std::string Number() {
    std::string s = Term();
    for (std::uint64_t n = Pick(3); n > 0; --n) s += (Pick(2) ? "+" : "-") + Term();
    return s;
  }

  std::string Term() {
    std::string s = NumberFactor();
    for (std::uint64_t n = Pick(2); n > 0; --n) s += (Pick(2) ? "*" : "/") + NumberFactor();
    return s;
  }

  std::string NumberFactor() {
    static const char* const literals[] = {"0", "1", "2.5", "1000", "45351", "2147483648", "0.0000001"};
    static const char* const vars[] = {"A", "B", "C", "D", "Q", "a", "b"};
    if (++Depth > kFactorBudget) return literals[Pick(std::size(literals))];
    switch (Pick(16)) {
      case 0: case 1: return literals[Pick(std::size(literals))];
      case 2: case 3: case 4: return Name(vars, std::size(vars), kNumberKeywordNames);
      case 5: return Word("NULL");
      case 6: return "(" + Number() + ")";
      case 7: return "-" + NumberFactor();
      case 8: return Word("LG") + "(" + Number() + ")";
      case 9: return Word("LENGTH") + "(" + Text() + ")";
      case 10: return Word("FINDSTR") + "(" + Text() + "," + Text() + ")";
      case 11: return Word("NVL") + "(" + std::string(vars[Pick(std::size(vars))]) + "," + Number() + ")";
      case 12: return Word(Pick(2) ? "YEAR" : (Pick(2) ? "MONTH" : (Pick(2) ? "DAY" : "LASTDAY"))) + "(" + Number() + ")";
      case 13: return Word("TODATE") + "(" + Text() + ")";
      default:
        return Word(Pick(3) == 0 ? "ADDYEARS" : (Pick(2) ? "ADDMONTHS" : "ADDDAYS")) + "(" + Number() + "," +
               Number() + ")";
    }
  }

  std::string Text() {
    std::string s = TextFactor();
    for (std::uint64_t n = Pick(3); n > 0; --n) s += "||" + TextFactor();
    return s;
  }

  std::string TextFactor() {
    static const char* const literals[] = {"\"\"", "\"abc\"", "\"\xd6\xd0\"", "\"a;b\"", "\"2/29/2024\"", "\"  x  \""};
    static const char* const vars[] = {"S", "T", "U", "R", "s", "LongText"};
    static const char* const formats[] = {"\"yyyy-mm-dd\"", "\"c\"", "\"\"", "\"hh:nn am/pm\"", "\"dddd mmmm\"",
                                          "\"yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy\""};
    if (++Depth > kFactorBudget) return literals[Pick(std::size(literals))];
    switch (Pick(9)) {
      case 0: case 1: return literals[Pick(std::size(literals))];
      case 2: case 3: return Name(vars, std::size(vars), kTextKeywordNames);
      case 4: return Word("SUBSTR") + "(" + Text() + "," + Number() + "," + Number() + ")";
      case 5: return Word("TOCHAR") + "(" + Number() + "," + formats[Pick(std::size(formats))] + ")";
      case 6: return Word("NVL") + "(" + std::string(vars[Pick(std::size(vars))]) + "," + Text() + ")";
      case 7: return Word("NULL");
      default: return "(" + Text() + ")";
    }
  }

  // One of the variable names, or now and then one that is a keyword of the
  // extended language (when the options allow).
  template <std::size_t N>
  std::string Name(const char* const* names, std::size_t count, const char* const (&keywordNames)[N]) {
    if (Options.KeywordNames && Pick(12) == 0) return keywordNames[Pick(N)];
    return names[Pick(count)];
  }

  // A keyword in a random letter case.
  std::string Word(const char* keyword) {
    std::string w(keyword);
    const std::uint64_t style = Pick(4);
    for (char& c : w)
      if (style == 1 || (style == 2 && Pick(2))) c = static_cast<char>(c - 'A' + 'a');
    return w;
  }

  std::string Space() {
    static const char* const spaces[] = {"", "", "", " ", "  ", "\t", "\r\n"};
    return spaces[Pick(std::size(spaces))];
  }

  void Break(std::string& s) {
    static const char noise[] = {'!', '"', '(', ')', ',', ';', '|', '_', '\xd6', '\x01', ' ', 'A', '9', '.'};
    if (s.empty()) return;
    const auto at = static_cast<std::size_t>(Pick(s.size()));
    switch (Pick(4)) {
      case 0: s.erase(at, 1); break;
      case 1: s.insert(at, 1, noise[Pick(sizeof noise)]); break;
      case 2: s.resize(at); break;
      default: s.insert(at, s.substr(0, static_cast<std::size_t>(Pick(s.size())))); break;
    }
  }

  // Operands per sentence before only literals follow.
  static constexpr int kFactorBudget = 24;
  // Variable names that the extended language reads as its keywords.
  static constexpr const char* kNumberKeywordNames[] = {"IN", "Mod", "not", "ABS"};
  static constexpr const char* kTextKeywordNames[] = {"trim", "Empty", "IS", "LENGTHC"};
  std::mt19937_64 Random;
  SGeneratorOptions Options;
  int Depth = 0;
};

}  // namespace rulecalc::testing
