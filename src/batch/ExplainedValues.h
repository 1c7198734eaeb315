#pragma once

#include <string>
#include <vector>

#include "batch/Columns.h"

namespace rulecalc::batch {

// The variables an explanation names (the names before each "::", as in
// "SCORE,AGE::...;"), each once, with the row's values: "SCORE=50, AGE=16"
// (GBK). Names that are not columns are left out.
std::string ExplainedValues(const std::string& gbkExplanation, const std::vector<SColumn>& columns,
                            const std::vector<std::string>& gbkValues);

}  // namespace rulecalc::batch
