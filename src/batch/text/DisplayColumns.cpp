#include "batch/text/DisplayColumns.h"

#include <cwchar>

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

// GB18030 reads every GBK character as GBK does, and the four-byte ones too.
TDisplayColumns::TDisplayColumns() : ToWide(iconv_open("WCHAR_T", "GB18030")) {}

TDisplayColumns::~TDisplayColumns() {
  if (ToWide != reinterpret_cast<iconv_t>(-1)) iconv_close(ToWide);
}

int TDisplayColumns::Of(std::string_view gbk) {
  int columns = 0;
  for (std::size_t i = 0; i < gbk.size();) {
    const std::size_t length = CharacterLength(gbk, i);
    columns += OfCharacter(gbk.substr(i, length));
    i += length;
  }
  return columns;
}

int TDisplayColumns::OfCharacter(std::string_view character) {
  const int bytes = static_cast<int>(character.size());
  if (ToWide == reinterpret_cast<iconv_t>(-1)) return bytes;
  iconv(ToWide, nullptr, nullptr, nullptr, nullptr);
  wchar_t wide[2] = {};
  char* in = const_cast<char*>(character.data());
  std::size_t inLeft = character.size();
  char* out = reinterpret_cast<char*>(wide);
  std::size_t outLeft = sizeof wide;
  if (iconv(ToWide, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) return bytes;
  const int width = wcwidth(wide[0]);
  return width >= 0 ? width : bytes;
}

}  // namespace rulecalc::batch
