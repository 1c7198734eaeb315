#include "batch/calc/ListingItems.h"

namespace rulecalc::batch {

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
