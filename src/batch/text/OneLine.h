#pragma once

#include <string>


namespace rulecalc::batch {

// The text on one line: every run of white space that holds a line break
// becomes one blank (explanations quote sentences that span lines).
std::string OneLine(const std::string& text);

}  // namespace rulecalc::batch
