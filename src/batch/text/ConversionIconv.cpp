#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <optional>

#include "batch/Failures.h"
#include "batch/text/Conversion.h"
#include "batch/text/EncodingNames.h"
#include "batch/text/GbkEncoder.h"

namespace rulecalc::batch {

namespace {

const iconv_t kNoHandle = reinterpret_cast<iconv_t>(-1);

// The next step of decoding: a character, bytes that give none (a
// byte-order mark), or a byte that starts no character.
struct SDecodeStep {
  bool Bad;
  std::optional<char32_t> Character;
};

SDecodeStep DecodeOne(iconv_t decoder, char*& inPtr, std::size_t& inLeft) {
  unsigned char out[4] = {};
  char* outPtr = reinterpret_cast<char*>(out);
  std::size_t outLeft = sizeof out;
  const std::size_t rc = iconv(decoder, &inPtr, &inLeft, &outPtr, &outLeft);
  if (outLeft == 0) {
    return {false, static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | static_cast<std::uint32_t>(out[3]) << 24)};
  }
  return {rc == static_cast<std::size_t>(-1), std::nullopt};
}

// Appends in encoded in GBK through the GBK codes, decoding it with decoder.
// GB18030's four-byte codes are not made: such a C library reads them back
// wrongly.
std::size_t AppendThroughGbkCodes(iconv_t decoder, TGbkCodes& codes, bool lenient, std::string_view in,
                                  std::string& out) {
  char* inPtr = const_cast<char*>(in.data());
  std::size_t inLeft = in.size();
  while (inLeft > 0) {
    const std::size_t offset = in.size() - inLeft;
    const SDecodeStep step = DecodeOne(decoder, inPtr, inLeft);
    if (step.Bad || (!step.Character && inLeft == in.size() - offset)) return offset;
    if (!step.Character) continue;
    const std::optional<std::uint16_t> code = codes.Code(*step.Character);
    if (!code && !lenient) return offset;
    if (!code) {
      out += '?';
    } else if (*code < 0x80) {
      out += static_cast<char>(*code);
    } else {
      out += static_cast<char>(*code >> 8);
      out += static_cast<char>(*code & 0xFF);
    }
  }
  return TConversion::kAllConverted;
}

}  // namespace

// Handle converts from -> to; or, where the C library decodes GBK but cannot
// encode it, from -> code points, which the GBK codes then encode. UTF-8
// into GBK goes through the GBK codes everywhere (Utf8IntoGbk): the same
// bytes as the C library's, at a fraction of its cost per character.
struct TConversion::SSystem {
  iconv_t Handle;
  bool ThroughGbkCodes;
  bool Utf8IntoGbk;
  bool Lenient;
  std::unique_ptr<TGbkCodes> Codes;  // for either
};

TConversion::TConversion(const std::string& to, const std::string& from, bool lenient, const std::string& named) {
  iconv_t handle = iconv_open((lenient ? to + "//TRANSLIT" : to).c_str(), from.c_str());
  // A C library without likenesses stops at such a character instead, which
  // the caller then replaces.
  if (handle == kNoHandle && lenient) handle = iconv_open(to.c_str(), from.c_str());
  const bool throughGbkCodes = handle == kNoHandle && NamesGbkFamily(to.c_str());
  if (throughGbkCodes) handle = iconv_open("UTF-32LE", from.c_str());
  if (handle == kNoHandle) throw TUsageError("unknown encoding '" + named + "'");
  const bool utf8IntoGbk = !lenient && NamesUtf8(from.c_str()) && NamesGbk(to.c_str());
  System.reset(new SSystem{handle, throughGbkCodes, utf8IntoGbk, lenient, nullptr});
  if (throughGbkCodes || utf8IntoGbk) System->Codes = std::make_unique<TGbkCodes>();
}

TConversion::~TConversion() { iconv_close(System->Handle); }

std::size_t TConversion::Append(std::string_view in, std::string& out) {
  if (System->Utf8IntoGbk) return System->Codes->AppendUtf8(in, out);
  const iconv_t handle = System->Handle;
  iconv(handle, nullptr, nullptr, nullptr, nullptr);
  if (System->ThroughGbkCodes) {
    return AppendThroughGbkCodes(handle, *System->Codes, System->Lenient, in, out);
  }
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

}  // namespace rulecalc::batch
