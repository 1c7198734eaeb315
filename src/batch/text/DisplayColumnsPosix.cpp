#include <iconv.h>

#include <cwchar>

#include "batch/text/DisplayColumns.h"

namespace rulecalc::batch {

// GB18030 reads every GBK character as GBK does, and the four-byte ones too.
struct TDisplayColumns::SSystem {
  iconv_t ToWide = iconv_open("WCHAR_T", "GB18030");
};

TDisplayColumns::TDisplayColumns() : System(new SSystem) {}

TDisplayColumns::~TDisplayColumns() {
  if (System->ToWide != reinterpret_cast<iconv_t>(-1)) iconv_close(System->ToWide);
}

// The locale's width of the character.
int TDisplayColumns::OfCharacter(std::string_view character) {
  const iconv_t toWide = System->ToWide;
  if (toWide == reinterpret_cast<iconv_t>(-1)) return -1;
  iconv(toWide, nullptr, nullptr, nullptr, nullptr);
  wchar_t wide[2] = {};
  char* in = const_cast<char*>(character.data());
  std::size_t inLeft = character.size();
  char* out = reinterpret_cast<char*>(wide);
  std::size_t outLeft = sizeof wide;
  if (iconv(toWide, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) return -1;
  return wcwidth(wide[0]);
}

}  // namespace rulecalc::batch
