#include "batch/text/DisplayColumns.h"

#include "common/GbkText.h"

namespace rulecalc::batch {

namespace {

// A GBK character, or the four bytes a character GBK lacks takes in a
// value of the data (lead, digit, 0x81-0xFE, digit).
std::size_t CharacterLength(std::string_view gbk, std::size_t i) {
  auto at = [&](std::size_t k) { return static_cast<unsigned char>(gbk[i + k]); };
  const bool four = i + 4 <= gbk.size() && at(0) >= 0x81 && at(0) <= 0xFE && at(1) >= 0x30 && at(1) <= 0x39 &&
                    at(2) >= 0x81 && at(2) <= 0xFE && at(3) >= 0x30 && at(3) <= 0x39;
  return four ? 4 : GbkCharLength(gbk, i);
}

}  // namespace

int TDisplayColumns::Of(std::string_view gbk) {
  int columns = 0;
  for (std::size_t i = 0; i < gbk.size();) {
    const std::size_t length = CharacterLength(gbk, i);
    const int known = OfCharacter(gbk.substr(i, length));
    columns += known >= 0 ? known : static_cast<int>(length);
    i += length;
  }
  return columns;
}

}  // namespace rulecalc::batch
