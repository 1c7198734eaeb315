#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "batch/Columns.h"
#include "batch/calc/FailurePoint.h"
#include "common/Language.h"

namespace rulecalc::batch {

// A variable a sentence names: its name as first written, and where.
struct SNamedVariable {
  std::string GbkName;
  SFailurePoint FirstAt;
};

// The distinct variables of a sentence (ASCII letter case ignored) in the
// order they first come, as the library's tokeniser reads them in language.
std::vector<SNamedVariable> VariablesOfSentence(const std::string& gbkSentence, ELanguage language);

// The column of each named variable that has one.
std::vector<std::size_t> ColumnsOfVariables(const std::vector<SNamedVariable>& named,
                                            const std::vector<SColumn>& columns);

// The named variables no column has.
std::vector<SNamedVariable> VariablesWithoutColumn(const std::vector<SNamedVariable>& named,
                                                   const std::vector<SColumn>& columns);

// The column a rule can name whose name is nearest to gbkName, ASCII letter
// case ignored, when it is near enough to be a likely slip (a third of the
// letters differ at most); none otherwise.
std::optional<std::size_t> NearestColumn(const std::string& gbkName, const std::vector<SColumn>& columns);

}  // namespace rulecalc::batch
