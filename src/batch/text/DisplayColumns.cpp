#include "batch/text/DisplayColumns.h"

#include <cwchar>

#include "common/GbkText.h"

namespace rulecalc::batch {

TDisplayColumns::TDisplayColumns() : ToWide(iconv_open("WCHAR_T", "GBK")) {}

TDisplayColumns::~TDisplayColumns() {
  if (ToWide != reinterpret_cast<iconv_t>(-1)) iconv_close(ToWide);
}

int TDisplayColumns::Of(std::string_view gbk) {
  int columns = 0;
  for (std::size_t i = 0; i < gbk.size();) {
    const std::size_t length = GbkCharLength(gbk, i);
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
