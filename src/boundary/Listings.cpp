#include "boundary/Listings.h"

#include <vector>

#include "common/NameFold.h"

namespace rulecalc {

namespace {

constexpr char kSeparator = ';';

// Visits every token from the start of the sentence. Only white space that
// follows a token is skipped, so leading white space is a token of its own.
template <typename Visit>
void ScanSentence(TTokenAnalyser& tokeniser, Visit visit) {
  tokeniser.Position = 0;
  tokeniser.NextToken();
  while (tokeniser.WordType != wtEnd) {
    visit(tokeniser.WordType, tokeniser.Word);
    tokeniser.NextToken();
    if (tokeniser.WordType == wtSpliter) tokeniser.NextToken();
  }
  tokeniser.Position = 0;
}

}  // namespace

std::string TokenListing(TTokenAnalyser& tokeniser) {
  std::string listing;
  ScanSentence(tokeniser, [&](EMWordType, const std::string& word) {
    listing.append(word).push_back(kSeparator);
  });
  return listing;
}

std::string NumberListing(TTokenAnalyser& tokeniser) {
  std::string listing;
  ScanSentence(tokeniser, [&](EMWordType kind, const std::string& word) {
    if (kind == wtNumber) listing.append(word).push_back(kSeparator);
  });
  return listing;
}

std::string VarnameListing(TTokenAnalyser& tokeniser) {
  std::vector<std::string> names;
  ScanSentence(tokeniser, [&](EMWordType kind, const std::string& word) {
    if (kind != wtFieldName) return;
    for (const std::string& seen : names)
      if (SameName(seen, word)) return;
    names.push_back(word);
  });
  std::string listing;
  for (const std::string& name : names) listing.append(name).push_back(kSeparator);
  if (!listing.empty()) listing.pop_back();
  return listing;
}

}  // namespace rulecalc
