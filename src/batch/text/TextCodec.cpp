#include "batch/text/TextCodec.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "batch/Failures.h"
#include "batch/text/ControlCharacters.h"

namespace rulecalc::batch {

namespace {

constexpr const char* kGbk = "GBK";
constexpr const char* kGb18030 = "GB18030";
constexpr std::size_t kAllConverted = std::string_view::npos;
const iconv_t kNoHandle = reinterpret_cast<iconv_t>(-1);

iconv_t OpenHandle(const std::string& to, const std::string& from, const std::string& named) {
  iconv_t handle = iconv_open(to.c_str(), from.c_str());
  if (handle == kNoHandle) throw TUsageError("unknown encoding '" + named + "'");
  return handle;
}

// Converts in with handle, appending to out; stops at the first byte that
// cannot be converted and returns its offset, or kAllConverted.
std::size_t ConvertUntilError(iconv_t handle, std::string_view in, std::string& out) {
  iconv(handle, nullptr, nullptr, nullptr, nullptr);
  char* inPtr = const_cast<char*>(in.data());
  std::size_t inLeft = in.size();
  char buffer[1024];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t rc = iconv(handle, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) return in.size() - inLeft;
  }
  char* outPtr = buffer;
  std::size_t outLeft = sizeof buffer;
  iconv(handle, nullptr, nullptr, &outPtr, &outLeft);
  out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
  return kAllConverted;
}

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

// Ends each text of a joined conversion: ASCII, the same byte in UTF-8 and
// GBK, and never part of a GBK double-byte character.
constexpr char kJoint = '\x01';

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

bool NamesUtf8(std::string name) {
  std::string letters;
  for (char c : name) {
    if (c != '-' && c != '_') letters += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return letters == "UTF8";
}

}  // namespace

TTextCodec::TTextCodec(const std::string& outsideEncoding)
    : Outside(outsideEncoding),
      IntoGbk(OpenHandle(kGbk, outsideEncoding, outsideEncoding)),
      OutOfGbk(kNoHandle),
      IntoGb18030(kNoHandle),
      OutOfGb18030(kNoHandle) {
  try {
    OutOfGbk = OpenHandle(outsideEncoding + "//TRANSLIT", kGbk, outsideEncoding);
  } catch (...) {
    iconv_close(IntoGbk);
    throw;
  }
  const std::string_view probe = "AZaz09 ;,.\"'=<>()|+-*/_:";
  std::string in;
  std::string out;
  AsciiCompatible = ConvertUntilError(IntoGbk, probe, in) == kAllConverted && in == probe &&
                    ConvertUntilError(OutOfGbk, probe, out) == kAllConverted && out == probe;
  Utf8 = AsciiCompatible && NamesUtf8(outsideEncoding);
}

TTextCodec::~TTextCodec() {
  iconv_close(IntoGbk);
  iconv_close(OutOfGbk);
  if (IntoGb18030 != kNoHandle) iconv_close(IntoGb18030);
  if (OutOfGb18030 != kNoHandle) iconv_close(OutOfGb18030);
}

iconv_t TTextCodec::Gb18030Handle(iconv_t& handle, const std::string& to, const std::string& from) {
  if (handle == kNoHandle) handle = OpenHandle(to, from, Outside);
  return handle;
}

bool TTextCodec::TryToGbkWidened(std::string_view text, std::string& gbk, std::size_t& badOffset) {
  if (TryToGbk(text, gbk, badOffset)) return true;
  if (!Utf8) return false;
  gbk.clear();
  std::size_t done = 0;
  while (true) {
    const std::size_t bad = ConvertUntilError(IntoGbk, text.substr(done), gbk);
    if (bad == kAllConverted) return true;
    const std::string_view character = text.substr(done + bad, Utf8Length(static_cast<unsigned char>(text[done + bad])));
    if (ConvertUntilError(Gb18030Handle(IntoGb18030, kGb18030, Outside), character, gbk) != kAllConverted) {
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
  badOffset = ConvertUntilError(IntoGbk, text, gbk);
  return badOffset == kAllConverted;
}

bool TTextCodec::TryAllToGbk(const std::vector<std::string>& texts, std::vector<std::string>& gbk) {
  gbk.resize(texts.size());
  if (Utf8 && TryJoinedToGbk(texts, gbk)) return true;
  std::size_t badOffset = 0;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (!TryToGbk(texts[i], gbk[i], badOffset)) return false;
  }
  return true;
}

// One conversion for all the texts that are not plain ASCII. False when it
// fails or a text holds the joint itself (one piece too many).
bool TTextCodec::TryJoinedToGbk(const std::vector<std::string>& texts, std::vector<std::string>& gbk) {
  Joined.clear();
  Wide.clear();
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (IsAscii(texts[i])) {
      gbk[i].assign(texts[i]);
    } else {
      Joined.append(texts[i]).push_back(kJoint);
      Wide.push_back(i);
    }
  }
  if (Joined.empty()) return true;
  JoinedGbk.clear();
  if (ConvertUntilError(IntoGbk, Joined, JoinedGbk) != kAllConverted) return false;
  std::size_t start = 0;
  for (std::size_t i : Wide) {
    const std::size_t end = JoinedGbk.find(kJoint, start);
    if (end == std::string::npos) return false;
    gbk[i].assign(JoinedGbk, start, end - start);
    start = end + 1;
  }
  return start == JoinedGbk.size();
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
    const std::size_t bad = ConvertUntilError(OutOfGbk, gbk, out);
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
  if (ConvertUntilError(Gb18030Handle(OutOfGb18030, Outside + "//TRANSLIT", kGb18030), character, converted) !=
      kAllConverted) {
    return 0;
  }
  out += converted;
  return character.size();
}

}  // namespace rulecalc::batch
