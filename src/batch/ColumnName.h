#pragma once

#include <string>

#include "common/Language.h"

namespace rulecalc::batch {

// Why a rule cannot name a column called gbkName (the rule language's names
// are an ASCII letter, then letters, digits and underscores, and not a
// keyword of language); the empty text when it can. Asks the library's own
// tokeniser.
std::string WhyNotAName(const std::string& gbkName, ELanguage language);

}  // namespace rulecalc::batch
