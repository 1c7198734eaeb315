#include "batch/text/GbkEncoder.h"

#include <iconv.h>

#include <cctype>
#include <cstring>
#include <string>
#include <unordered_map>

namespace rulecalc::batch {

namespace {

using TCodes = std::unordered_map<char32_t, std::uint16_t>;

bool IsPrivateUse(char32_t character) { return character >= 0xE000 && character <= 0xF8FF; }

// The code point of one double-byte GBK code, or 0 when the decoder has none.
char32_t Decoded(iconv_t decoder, unsigned char lead, unsigned char trail) {
  char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  unsigned char out[4] = {};
  char* inPtr = in;
  char* outPtr = reinterpret_cast<char*>(out);
  std::size_t inLeft = sizeof in;
  std::size_t outLeft = sizeof out;
  iconv(decoder, nullptr, nullptr, nullptr, nullptr);
  if (iconv(decoder, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) return 0;
  return static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | static_cast<std::uint32_t>(out[3]) << 24);
}

// Every double-byte code the decoder reads, keyed by its character; the
// user-defined areas (private-use characters) are left out, as GBK has them
// not.
TCodes BuildCodes() {
  TCodes codes;
  const iconv_t decoder = iconv_open("UTF-32LE", "GBK");
  if (decoder == reinterpret_cast<iconv_t>(-1)) return codes;
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const char32_t character = Decoded(decoder, static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
      if (character >= 0x80 && !IsPrivateUse(character)) codes.emplace(character, static_cast<std::uint16_t>(lead << 8 | trail));
    }
  }
  iconv_close(decoder);
  return codes;
}

}  // namespace

std::optional<std::uint16_t> GbkCode(char32_t character) {
  if (character < 0x80) return static_cast<std::uint16_t>(character);
  static const TCodes codes = BuildCodes();
  const auto found = codes.find(character);
  if (found == codes.end()) return std::nullopt;
  return found->second;
}

namespace {

// Upper case, without '-' and '_': "gb-18030" and "GB18030" are one name.
std::string Folded(const char* name) {
  std::string folded;
  for (const char* c = name; *c; ++c) {
    if (*c != '-' && *c != '_') folded += static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
  }
  return folded;
}

}  // namespace

bool NamesGbkFamily(const char* name) {
  const std::string folded = Folded(name);
  return folded == "GBK" || folded == "CP936" || folded == "GB2312" || folded == "GB18030";
}

}  // namespace rulecalc::batch
