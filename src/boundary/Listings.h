#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "lexer/TokenAnalyser.h"

namespace rulecalc {

// One item of a listing: where its text starts in the listing, and its bytes.
struct SListingItem {
  std::size_t Start = 0;
  std::size_t Length = 0;
};

// The three listings of a sentence. Each rescans the whole sentence from
// its start and leaves Position at 0 and the current token at wtEnd. When
// items is not null it receives where each item of the listing is, so that
// no reader has to split the listing again (a text literal may hold ";").

// Every token's text followed by ";", white space and unknown bytes included.
std::string TokenListing(TTokenAnalyser& tokeniser, std::vector<SListingItem>* items = nullptr);

// Every number literal followed by ";", repeats included.
std::string NumberListing(TTokenAnalyser& tokeniser, std::vector<SListingItem>* items = nullptr);

// The distinct variable names (a-z folded to capitals when compared), as
// first written, joined by ";".
std::string VarnameListing(TTokenAnalyser& tokeniser, std::vector<SListingItem>* items = nullptr);

}  // namespace rulecalc
