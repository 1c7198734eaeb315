#include "batch/RulesFile.h"

#include <algorithm>
#include <fstream>
#include <string_view>

#include "Failures.h"

namespace rulecalc::cli {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string Where(const std::string& path, std::size_t line) { return path + ":" + std::to_string(line) + ": "; }

SRule ParseRuleLine(std::string_view line, const std::string& path, std::size_t lineNumber, TTextCodec& codec) {
  const std::size_t colon = line.find(':');
  const std::string_view id = Trim(line.substr(0, colon));
  const std::string_view sentence = colon == std::string_view::npos ? "" : Trim(line.substr(colon + 1));
  if (colon == std::string_view::npos || id.empty() || sentence.empty()) {
    throw TUsageError(Where(path, lineNumber) + "expected 'id: sentence'");
  }
  SRule rule;
  rule.Id = std::string(id);
  rule.GbkId = codec.ToGbk(id, Where(path, lineNumber) + "the rule id");
  rule.GbkSentence = codec.ToGbk(sentence, Where(path, lineNumber) + "the sentence");
  rule.Line = lineNumber;
  return rule;
}

void RefuseRepeatedId(const std::vector<SRule>& rules, const SRule& rule, const std::string& path) {
  const auto same = [&rule](const SRule& other) { return other.Id == rule.Id; };
  if (std::any_of(rules.begin(), rules.end(), same)) {
    throw TUsageError(Where(path, rule.Line) + "the rule id '" + rule.Id + "' is used twice");
  }
}

}  // namespace

std::vector<SRule> ReadRulesFile(const std::string& path, TTextCodec& codec) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw TUsageError("cannot read the rules file '" + path + "'");
  std::vector<SRule> rules;
  std::string line;
  for (std::size_t lineNumber = 1; std::getline(in, line); ++lineNumber) {
    std::string_view text = line;
    if (lineNumber == 1 && text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());
    text = Trim(text);
    if (text.empty() || text.front() == '#') continue;
    SRule rule = ParseRuleLine(text, path, lineNumber, codec);
    RefuseRepeatedId(rules, rule, path);
    rules.push_back(std::move(rule));
  }
  if (rules.empty()) throw TUsageError("the rules file '" + path + "' holds no rules");
  return rules;
}

}  // namespace rulecalc::cli
