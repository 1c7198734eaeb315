#include "boundary/Listings.h"

#include <string_view>
#include <vector>

#include "common/NameFold.h"

namespace rulecalc {

namespace {

constexpr char kSeparator = ';';

// Visits every token from the start of the sentence. Only white space that
// follows a token is skipped, so leading white space is a token of its own.
// The tokens are visited in place; Word is set once, at the end, to the last
// token read, as reading them one by one would leave it.
template <typename Visit>
void ScanSentence(TTokenAnalyser& tokeniser, Visit visit) {
  const std::string_view sentence = tokeniser.Sentence;
  std::string_view last;
  const auto next = [&] {
    const std::int32_t start = tokeniser.Position;
    tokeniser.SkipToken();
    if (tokeniser.WordType != wtEnd) {
      last = sentence.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(tokeniser.Position - start));
    }
  };
  tokeniser.Position = 0;
  try {
    next();
    while (tokeniser.WordType != wtEnd) {
      visit(tokeniser.WordType, last);
      next();
      if (tokeniser.WordType == wtSpliter) next();
    }
  } catch (...) {
    if (last.data()) tokeniser.Word.assign(last);
    throw;
  }
  if (last.data()) tokeniser.Word.assign(last);
  tokeniser.Position = 0;
}

// Appends one item and the separator after it, noting where the item is.
void AppendItem(std::string& listing, std::string_view item, std::vector<SListingItem>* items) {
  if (items != nullptr) items->push_back(SListingItem{listing.size(), item.size()});
  listing.append(item).push_back(kSeparator);
}

}  // namespace

std::string TokenListing(TTokenAnalyser& tokeniser, std::vector<SListingItem>* items) {
  if (items != nullptr) items->clear();
  std::string listing;
  ScanSentence(tokeniser, [&](EMWordType, std::string_view word) { AppendItem(listing, word, items); });
  return listing;
}

std::string NumberListing(TTokenAnalyser& tokeniser, std::vector<SListingItem>* items) {
  if (items != nullptr) items->clear();
  std::string listing;
  ScanSentence(tokeniser, [&](EMWordType kind, std::string_view word) {
    if (kind == wtNumber) AppendItem(listing, word, items);
  });
  return listing;
}

// The names are joined: the separator after the last one is dropped.
std::string VarnameListing(TTokenAnalyser& tokeniser, std::vector<SListingItem>* items) {
  if (items != nullptr) items->clear();
  std::vector<std::string> names;
  ScanSentence(tokeniser, [&](EMWordType kind, std::string_view word) {
    if (kind != wtFieldName) return;
    for (const std::string& seen : names)
      if (SameName(seen, word)) return;
    names.emplace_back(word);
  });
  std::string listing;
  for (const std::string& name : names) AppendItem(listing, name, items);
  if (!listing.empty()) listing.pop_back();
  return listing;
}

}  // namespace rulecalc
