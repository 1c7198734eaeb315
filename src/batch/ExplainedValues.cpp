#include "batch/ExplainedValues.h"

#include <algorithm>

namespace rulecalc::batch {

namespace {

// The names listed before every "::" of the explanation, in order, each once.
std::vector<std::string> ExplainedNames(const std::string& explanation) {
  std::vector<std::string> names;
  for (std::size_t marker = explanation.find("::"); marker != std::string::npos;
       marker = explanation.find("::", marker + 2)) {
    const std::size_t entryStart = explanation.rfind(';', marker);
    std::size_t start = entryStart == std::string::npos ? 0 : entryStart + 1;
    while (start < marker) {
      const std::size_t comma = std::min(explanation.find(',', start), marker);
      const std::string name = explanation.substr(start, comma - start);
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
      start = comma + 1;
    }
  }
  return names;
}

}  // namespace

bool ReadOtherwiseThanWritten(const SColumn& column) { return column.Date || column.Picture; }

TNamedValues ExplainedNamedValues(const std::string& gbkExplanation, const std::vector<SColumn>& columns,
                                  const std::vector<std::string>& gbkValues,
                                  const std::vector<std::string>& writtenValues) {
  TNamedValues named;
  for (const std::string& name : ExplainedNames(gbkExplanation)) {
    const std::string folded = FoldedName(name);
    for (std::size_t i = 0; i < columns.size() && i < gbkValues.size(); ++i) {
      if (FoldedName(columns[i].GbkName) != folded) continue;
      const bool written = ReadOtherwiseThanWritten(columns[i]) && i < writtenValues.size() && !gbkValues[i].empty();
      named.emplace_back(name, written ? writtenValues[i] : gbkValues[i]);
      break;
    }
  }
  return named;
}

std::string JoinedValues(const TNamedValues& values) {
  std::string shown;
  for (const auto& [name, value] : values) shown += (shown.empty() ? "" : ", ") + name + "=" + value;
  return shown;
}

std::string ExplainedValues(const std::string& gbkExplanation, const std::vector<SColumn>& columns,
                            const std::vector<std::string>& gbkValues, const std::vector<std::string>& writtenValues) {
  return JoinedValues(ExplainedNamedValues(gbkExplanation, columns, gbkValues, writtenValues));
}

}  // namespace rulecalc::batch
