#include "batch/calc/ListingItems.h"

namespace rulecalc::batch {

namespace {

// End (exclusive) of the item that starts at start. Every token has at least
// one byte, so the token ";" is followed by its own separator.
std::size_t ItemEnd(std::string_view listing, std::size_t start) {
  std::size_t searchFrom = start + 1;
  if (listing[start] == '"') {
    const std::size_t closing = listing.find('"', start + 1);
    if (closing != std::string_view::npos) searchFrom = closing;
  }
  const std::size_t separator = listing.find(';', searchFrom);
  return separator == std::string_view::npos ? listing.size() : separator;
}

}  // namespace

std::vector<std::string> SplitTerminatedListing(std::string_view listing) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start < listing.size()) {
    const std::size_t end = ItemEnd(listing, start);
    items.emplace_back(listing.substr(start, end - start));
    start = end + 1;
  }
  return items;
}

std::vector<std::string> SplitJoinedListing(std::string_view listing) {
  std::vector<std::string> items;
  if (listing.empty()) return items;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = listing.find(';', start);
    items.emplace_back(listing.substr(start, end - start));
    if (end == std::string_view::npos) return items;
    start = end + 1;
  }
}

}  // namespace rulecalc::batch
