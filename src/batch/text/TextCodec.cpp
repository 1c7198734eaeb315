#include "batch/text/TextCodec.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "batch/Failures.h"
#include "batch/text/ControlCharacters.h"
#include "batch/text/EncodingNames.h"

namespace rulecalc::batch {

namespace {

constexpr const char* kGbk = "GBK";
constexpr const char* kGb18030 = "GB18030";
constexpr std::size_t kAllConverted = TConversion::kAllConverted;

// Eight bytes at a time: a byte of 0x80 or above sets a high bit.
bool IsAscii(std::string_view text) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t eight = 0;
    std::memcpy(&eight, text.data() + i, 8);
    if (eight & kHighBits) return false;
  }
  for (; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  }
  return true;
}

// The bytes of the UTF-8 character that starts with lead (1 for a byte that
// starts none, which then fails to convert on its own).
std::size_t Utf8Length(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

// The bytes of the GB18030 character at the start of text: four for
// lead 0x81-0xFE, digit, 0x81-0xFE, digit; else two.
std::size_t Gb18030Length(std::string_view text) {
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const bool four = text.size() >= 4 && at(0) >= 0x81 && at(0) <= 0xFE && at(1) >= 0x30 && at(1) <= 0x39 &&
                    at(2) >= 0x81 && at(2) <= 0xFE && at(3) >= 0x30 && at(3) <= 0x39;
  return four ? 4 : std::min<std::size_t>(2, text.size());
}

}  // namespace

TTextCodec::TTextCodec(const std::string& outsideEncoding)
    : Outside(outsideEncoding),
      IntoGbk(kGbk, outsideEncoding, false, outsideEncoding),
      OutOfGbk(outsideEncoding, kGbk, true, outsideEncoding) {
  const std::string_view probe = "AZaz09 ;,.\"'=<>()|+-*/_:";
  std::string in;
  std::string out;
  AsciiCompatible = IntoGbk.Append(probe, in) == kAllConverted && in == probe &&
                    OutOfGbk.Append(probe, out) == kAllConverted && out == probe;
  Utf8 = AsciiCompatible && NamesUtf8(outsideEncoding.c_str());
}

TConversion& TTextCodec::Gb18030Conversion(std::unique_ptr<TConversion>& conversion, const std::string& to,
                                           const std::string& from, bool lenient) {
  if (!conversion) conversion = std::make_unique<TConversion>(to, from, lenient, Outside);
  return *conversion;
}

bool TTextCodec::TryToGbkWidened(std::string_view text, std::string& gbk, std::size_t& badOffset) {
  if (TryToGbk(text, gbk, badOffset)) return true;
  if (!Utf8) return false;
  gbk.clear();
  std::size_t done = 0;
  while (true) {
    const std::size_t bad = IntoGbk.Append(text.substr(done), gbk);
    if (bad == kAllConverted) return true;
    const std::string_view character = text.substr(done + bad, Utf8Length(static_cast<unsigned char>(text[done + bad])));
    if (Gb18030Conversion(IntoGb18030, kGb18030, Outside, false).Append(character, gbk) != kAllConverted) {
      badOffset = done + bad;
      return false;
    }
    done += bad + character.size();
  }
}

bool TTextCodec::TryToGbk(std::string_view text, std::string& gbk, std::size_t& badOffset) {
  gbk.clear();
  if (AsciiCompatible && IsAscii(text)) {
    gbk.assign(text);
    return true;
  }
  badOffset = IntoGbk.Append(text, gbk);
  return badOffset == kAllConverted;
}

bool TTextCodec::TryAllToGbk(const std::vector<std::string>& texts, std::vector<std::string>& gbk) {
  gbk.resize(texts.size());
  std::size_t badOffset = 0;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (!TryToGbk(texts[i], gbk[i], badOffset)) return false;
  }
  return true;
}

std::string TTextCodec::ToGbk(std::string_view text, const std::string& what) {
  std::string gbk;
  std::size_t badOffset = 0;
  if (!TryToGbk(text, gbk, badOffset)) {
    throw TConversionError(what + " cannot be converted to GBK at byte " + std::to_string(badOffset + 1) +
                           ": it is not valid " + Outside + " or has a character GBK lacks",
                           badOffset);
  }
  // The library's texts end at the first NUL: a text that holds one is
  // refused rather than cut (counted in the text as given, or in GBK when only
  // the conversion made it).
  if (gbk.find('\0') != std::string::npos) {
    const std::size_t given = text.find('\0');
    const std::size_t at = given != std::string_view::npos ? given : gbk.find('\0');
    throw TConversionError(what + " has a NUL byte at byte " + std::to_string(at + 1) +
                           ", which the library's texts cannot hold", at);
  }
  return gbk;
}

std::string TTextCodec::FromGbk(std::string_view gbk) { return Converted(gbk, false); }

std::string TTextCodec::FromGbkShowingControls(std::string_view gbk) { return ConvertedShowingControls(gbk, false); }

std::string TTextCodec::FromGbkShowingBytes(std::string_view gbk) { return ConvertedShowingControls(gbk, true); }

// Shown after the conversion where ASCII stays ASCII, so that a GBK lead byte
// left alone before a control character cannot join the backslash of its
// \xNN into one character.
std::string TTextCodec::ConvertedShowingControls(std::string_view gbk, bool showBytes) {
  if (AsciiCompatible) return ShowingControls(Converted(gbk, showBytes));
  return Converted(ShowingControls(gbk), showBytes);
}

std::string TTextCodec::Converted(std::string_view gbk, bool showBytes) {
  std::string out;
  if (AsciiCompatible && IsAscii(gbk)) return std::string(gbk);
  while (true) {
    const std::size_t bad = OutOfGbk.Append(gbk, out);
    if (bad == kAllConverted) break;
    gbk.remove_prefix(bad);
    const std::size_t widened = ConvertedAsGb18030(gbk, out);
    if (widened > 0) {
      gbk.remove_prefix(widened);
      continue;
    }
    if (showBytes) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(gbk[0]));
      out += escaped;
    } else {
      out += '?';
    }
    gbk.remove_prefix(1);
  }
  return out;
}

// Converts the GB18030 character at the start of gbk, appending it to out;
// returns its bytes, or 0 when it is none.
std::size_t TTextCodec::ConvertedAsGb18030(std::string_view gbk, std::string& out) {
  const std::string_view character = gbk.substr(0, Gb18030Length(gbk));
  std::string converted;
  if (Gb18030Conversion(OutOfGb18030, Outside, kGb18030, true).Append(character, converted) != kAllConverted) {
    return 0;
  }
  out += converted;
  return character.size();
}

}  // namespace rulecalc::batch
