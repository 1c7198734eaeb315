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
// columns are left out. A date column, or one of numbers by a picture, shows
// its value as written (CLAIM_DATE=2024-01-05), from writtenValues, not as
// the day number the rule read.
TNamedValues ExplainedNamedValues(const std::string& gbkExplanation, const std::vector<SColumn>& columns,
                                  const std::vector<std::string>& gbkValues,
                                  const std::vector<std::string>& writtenValues);

// "SCORE=50, AGE=16": the named values as the text formats show them.
std::string JoinedValues(const TNamedValues& values);

// The explained values joined.
std::string ExplainedValues(const std::string& gbkExplanation, const std::vector<SColumn>& columns,
                            const std::vector<std::string>& gbkValues, const std::vector<std::string>& writtenValues);

// True for a column whose values the rules read otherwise than they are written.
bool ReadOtherwiseThanWritten(const SColumn& column);

}  // namespace rulecalc::batch
