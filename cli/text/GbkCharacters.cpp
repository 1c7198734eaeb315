#include "text/GbkCharacters.h"

namespace rulecalc::cli {

std::size_t GbkCharacterLength(std::string_view gbk, std::size_t offset) {
  const auto lead = static_cast<unsigned char>(gbk[offset]);
  const bool isLead = lead >= 0x81 && lead <= 0xFE;
  return isLead && offset + 1 < gbk.size() ? 2 : 1;
}

}  // namespace rulecalc::cli
