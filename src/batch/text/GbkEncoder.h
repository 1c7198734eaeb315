#pragma once

#include <iconv.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rulecalc::batch {

// The GBK codes of characters (Unicode code points) as the C library's own
// GBK encoder gives them, each asked of it once and kept; a C library that
// decodes GBK but cannot encode it (musl, and emscripten's) has them all
// read from its decoder at the first such character instead. For one thread at a time.
class TGbkCodes {
 public:
  TGbkCodes();
  ~TGbkCodes();
  TGbkCodes(const TGbkCodes&) = delete;
  TGbkCodes& operator=(const TGbkCodes&) = delete;

  // The byte itself for ASCII, one byte or two for the rest; nothing for a
  // character GBK lacks.
  std::optional<std::uint16_t> Code(char32_t character);

  // Appends utf8 in GBK; returns the offset of the first byte that starts
  // no UTF-8 character, or whose character GBK lacks, or
  // std::string_view::npos when all was converted: the bytes and offsets of
  // the C library's conversion, without its cost per call and per character.
  std::size_t AppendUtf8(std::string_view utf8, std::string& out);

 private:
  std::uint16_t Lookup(char32_t character);
  std::uint16_t Encode(char32_t character);
  void MakeTable();
  void ReadDecoder(iconv_t decoder);

  std::vector<std::uint16_t> Codes;  // by code point of the Basic Multilingual Plane; empty until needed
  iconv_t Encoder;
};

}  // namespace rulecalc::batch
