#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "batch/ToolBridge.h"

namespace rulecalc::batch {

// The items of a token or number listing: every item is followed by ";" and
// has at least one byte (so the token ";" shows as ";;").
// A string literal may itself hold ";": an item that starts with a double
// quote runs to the next double quote when there is one (a lone quote with no
// other quote after it is the token of an unterminated string).
std::vector<std::string> SplitTerminatedListing(std::string_view listing);

// The items of the variable-name listing: names joined by ";".
std::vector<std::string> SplitJoinedListing(std::string_view listing);

}  // namespace rulecalc::batch
