#include "batch/RuleTests.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "batch/Failures.h"
#include "batch/Report.h"
#include "batch/text/ControlCharacters.h"
#include "batch/text/OneLine.h"

namespace rulecalc::batch {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kExpect = "expect:";
constexpr std::string_view kExplain = "explain:";

bool StartsWithFolded(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), text.begin(),
                    [](char p, char t) { return p == std::tolower(static_cast<unsigned char>(t)); });
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// The rule an expectation column names, by its id as the rules file writes it.
std::size_t RuleNamed(std::string_view column, std::size_t prefix, const std::vector<SRule>& rules,
                      const std::string& path, TTextCodec& data, TTextCodec& output) {
  const std::string gbkColumn = data.ToGbk(column, path + ": the header's column '" + ShowingControls(column) + "'");
  const std::string gbkId = Trimmed(gbkColumn.substr(prefix));
  const auto named = std::find_if(rules.begin(), rules.end(), [&gbkId](const SRule& rule) { return rule.GbkId == gbkId; });
  if (named == rules.end()) {
    throw TUsageError(path + ": the column '" + output.FromGbkShowingControls(gbkColumn) + "' names no rule: there is no rule '" +
                      output.FromGbkShowingControls(gbkId) + "' in the rules file");
  }
  return static_cast<std::size_t>(named - rules.begin());
}

}  // namespace

STestLayout SplitTestHeader(SCsvRecord& header, const std::vector<SRule>& rules, const std::string& path,
                            TTextCodec& data, TTextCodec& output) {
  STestLayout layout;
  layout.FieldCount = header.Fields.size();
  std::vector<std::string> variables;
  for (std::size_t i = 0; i < header.Fields.size(); ++i) {
    std::string_view name = header.Fields[i];
    if (i == 0 && name.substr(0, kUtf8Bom.size()) == kUtf8Bom) name.remove_prefix(kUtf8Bom.size());
    const bool expects = StartsWithFolded(name, kExpect);
    if (!expects && !StartsWithFolded(name, kExplain)) {
      layout.VariableFields.push_back(i);
      variables.push_back(std::move(header.Fields[i]));
      continue;
    }
    const std::size_t prefix = expects ? kExpect.size() : kExplain.size();
    layout.Expectations.push_back(SExpectationColumn{i, RuleNamed(name, prefix, rules, path, data, output), !expects});
  }
  header.Fields = std::move(variables);
  return layout;
}

std::vector<SRule> TestedRules(const std::vector<SRule>& rules, std::vector<STestLayout>& layouts) {
  std::vector<bool> tested(rules.size(), false);
  for (const STestLayout& layout : layouts) {
    for (const SExpectationColumn& column : layout.Expectations) tested[column.Rule] = true;
  }
  std::vector<std::size_t> renumbered(rules.size(), 0);
  std::vector<SRule> kept;
  for (std::size_t i = 0; i < rules.size(); ++i) {
    renumbered[i] = kept.size();
    if (tested[i]) kept.push_back(rules[i]);
  }
  for (STestLayout& layout : layouts) {
    for (SExpectationColumn& column : layout.Expectations) column.Rule = renumbered[column.Rule];
  }
  return kept;
}

std::vector<std::string> SplitTestRecord(SCsvRecord& record, const STestLayout& layout) {
  if (!record.Problem.empty()) return {};
  if (record.Fields.size() != layout.FieldCount) {
    record.Problem = "it has " + std::to_string(record.Fields.size()) + " fields where the header has " +
                     std::to_string(layout.FieldCount);
    return {};
  }
  std::vector<std::string> cells;
  for (const SExpectationColumn& column : layout.Expectations) cells.push_back(std::move(record.Fields[column.Field]));
  std::vector<std::string> variables;
  for (std::size_t field : layout.VariableFields) variables.push_back(std::move(record.Fields[field]));
  record.Fields = std::move(variables);
  return cells;
}

const char* VerdictName(EMOutcome outcome) {
  return outcome == EMOutcome::AnalysisError ? "not analysed" : OutcomeWord(outcome);
}

std::optional<std::string> ExpectedVerdict(const std::string& cell, const std::string& where) {
  const std::string verdict = Lowercase(Trimmed(cell));
  if (verdict.empty()) return std::nullopt;
  if (verdict == "true" || verdict == "false" || verdict == "error") return verdict;
  throw TUsageError(where + ": '" + ShowingControls(cell) + "' is not true, false or error");
}

SRowExpectations RowExpectations(const STestRow& row, const STestLayout& layout, std::size_t rules, TTextCodec& data,
                                 const std::string& where) {
  SRowExpectations expectations{std::vector<std::optional<std::string>>(rules), std::vector<std::string>(rules)};
  for (std::size_t i = 0; i < layout.Expectations.size() && i < row.Cells.size(); ++i) {
    const SExpectationColumn& column = layout.Expectations[i];
    const std::string cell = where + ", column " + std::to_string(column.Field + 1);
    if (column.Explains) {
      expectations.GbkTexts[column.Rule] = OneLine(data.ToGbk(row.Cells[i], cell));
    } else if (auto verdict = ExpectedVerdict(row.Cells[i], cell)) {
      expectations.Verdicts[column.Rule] = std::move(verdict);
    }
  }
  return expectations;
}

bool MeetsExpectation(const std::string& expected, const std::string& gbkWanted, const std::string& got,
                      const std::string& gbkExplanation) {
  if (!expected.empty() && expected != got) return false;
  return gbkWanted.empty() || gbkExplanation.find(gbkWanted) != std::string::npos;
}

}  // namespace rulecalc::batch
