#include <windows.h>

#include "batch/text/DisplayColumns.h"

namespace rulecalc::batch {

struct TDisplayColumns::SSystem {};

TDisplayColumns::TDisplayColumns() : System(new SSystem) {}

TDisplayColumns::~TDisplayColumns() = default;

// The system's character types: an ideograph, a full-width form or a kana
// takes two columns, a mark that combines with the one before none, any other
// character one. A character beyond the basic plane (two UTF-16 units) is
// nearly always a rare ideograph: two columns. ASCII is known without asking,
// and a GBK character is decoded as GBK (code page 936): GB18030's code page
// is needed for the four-byte characters only, and some systems load its
// table afresh for every call.
int TDisplayColumns::OfCharacter(std::string_view character) {
  constexpr UINT kGbk = 936;
  constexpr UINT kGb18030 = 54936;
  if (character.size() == 1) {
    const unsigned char byte = static_cast<unsigned char>(character[0]);
    if (byte < 0x80) return byte >= 0x20 && byte < 0x7F ? 1 : -1;
  }
  wchar_t wide[2] = {};
  const UINT page = character.size() == 4 ? kGb18030 : kGbk;
  const int units = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, character.data(),
                                        static_cast<int>(character.size()), wide, 2);
  if (units == 2) return 2;
  if (units != 1) return -1;
  WORD types = 0;
  if (!GetStringTypeW(CT_CTYPE3, wide, 1, &types)) return -1;
  if (types & (C3_IDEOGRAPH | C3_FULLWIDTH | C3_HIRAGANA | C3_KATAKANA)) return 2;
  if (types & C3_NONSPACING) return 0;
  WORD kind = 0;
  GetStringTypeW(CT_CTYPE1, wide, 1, &kind);
  return (kind & C1_CNTRL) ? -1 : 1;
}

}  // namespace rulecalc::batch
