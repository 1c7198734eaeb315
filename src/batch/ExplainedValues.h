#pragma once

#include <string>
#include <utility>
#include <vector>

#include "batch/Columns.h"

namespace rulecalc::batch {

// A variable as the rules name it, with the row's value as read (GBK).
using TNamedValues = std::vector<std::pair<std::string, std::string>>;

// The variables an explanation names (the names before each "::", as in
// "SCORE,AGE::...;"), each once, with the row's values. Names that are not
// columns are left out.
TNamedValues ExplainedNamedValues(const std::string& gbkExplanation, const std::vector<SColumn>& columns,
                                  const std::vector<std::string>& gbkValues);

// "SCORE=50, AGE=16": the named values as the text formats show them.
std::string JoinedValues(const TNamedValues& values);

// The explained values joined.
std::string ExplainedValues(const std::string& gbkExplanation, const std::vector<SColumn>& columns,
                            const std::vector<std::string>& gbkValues);

}  // namespace rulecalc::batch
