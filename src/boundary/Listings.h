#pragma once

#include <string>

#include "lexer/TokenAnalyser.h"

namespace rulecalc {

// The three listings of a sentence. Each rescans the whole sentence from
// its start and leaves Position at 0 and the current token at wtEnd.

// Every token's text followed by ";", white space and unknown bytes included.
std::string TokenListing(TTokenAnalyser& tokeniser);

// Every number literal followed by ";", repeats included.
std::string NumberListing(TTokenAnalyser& tokeniser);

// The distinct variable names (a-z folded to capitals when compared), as
// first written, joined by ";".
std::string VarnameListing(TTokenAnalyser& tokeniser);

}  // namespace rulecalc
