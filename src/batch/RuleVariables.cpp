#include "batch/RuleVariables.h"

#include <algorithm>

#include "lexer/TokenAnalyser.h"

namespace rulecalc::batch {

namespace {

bool SameName(const std::string& a, const std::string& b) { return FoldedName(a) == FoldedName(b); }

// The edits (a letter left out, added or changed) that turn a into b.
std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::vector<SNamedVariable> VariablesOfSentence(const std::string& gbkSentence, ELanguage language) {
  TTokenAnalyser tokeniser;
  tokeniser.Language = language;
  tokeniser.SetSentence(gbkSentence.c_str());
  std::vector<SNamedVariable> named;
  for (;;) {
    const std::int32_t start = tokeniser.Position;
    tokeniser.SkipToken();
    if (tokeniser.WordType == wtEnd) break;
    if (tokeniser.WordType != wtFieldName) continue;
    const auto offset = static_cast<std::size_t>(start);
    const auto length = static_cast<std::size_t>(tokeniser.Position - start);
    std::string name = tokeniser.Sentence.substr(offset, length);
    const auto same = [&name](const SNamedVariable& seen) { return SameName(seen.GbkName, name); };
    if (std::none_of(named.begin(), named.end(), same)) named.push_back({std::move(name), {offset, length}});
  }
  return named;
}

std::vector<std::size_t> ColumnsOfVariables(const std::vector<SNamedVariable>& named,
                                            const std::vector<SColumn>& columns) {
  std::vector<std::size_t> found;
  for (const SNamedVariable& variable : named) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (SameName(columns[i].GbkName, variable.GbkName)) found.push_back(i);
    }
  }
  return found;
}

std::vector<SNamedVariable> VariablesWithoutColumn(const std::vector<SNamedVariable>& named,
                                                   const std::vector<SColumn>& columns) {
  std::vector<SNamedVariable> missing;
  for (const SNamedVariable& variable : named) {
    const auto same = [&variable](const SColumn& column) { return SameName(column.GbkName, variable.GbkName); };
    if (std::none_of(columns.begin(), columns.end(), same)) missing.push_back(variable);
  }
  return missing;
}

std::optional<std::size_t> NearestColumn(const std::string& gbkName, const std::vector<SColumn>& columns) {
  std::optional<std::size_t> nearest;
  std::size_t fewest = 0;
  const std::string folded = FoldedName(gbkName);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (!columns[i].Unusable.empty()) continue;
    const std::string other = FoldedName(columns[i].GbkName);
    const std::size_t edits = EditDistance(folded, other);
    if (edits * 3 > std::max(folded.size(), other.size())) continue;
    if (!nearest || edits < fewest) {
      nearest = i;
      fewest = edits;
    }
  }
  return nearest;
}

}  // namespace rulecalc::batch
