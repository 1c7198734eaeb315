#pragma once

#include <string>
#include <string_view>
#include <vector>


namespace rulecalc::batch {

// The items of the variable-name listing: names joined by ";".
std::vector<std::string> SplitJoinedListing(std::string_view listing);

}  // namespace rulecalc::batch
