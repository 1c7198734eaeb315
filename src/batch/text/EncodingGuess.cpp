#include "batch/text/EncodingGuess.h"

#include <algorithm>
#include <cctype>

namespace rulecalc::batch {

namespace {

// Bytes of the UTF-8 sequence that lead starts, 0 when lead cannot start one.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Offset of the first byte that is not valid UTF-8, or npos.
std::size_t FirstInvalidUtf8(std::string_view bytes, bool truncated) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = SequenceLength(static_cast<unsigned char>(bytes[i]));
    if (length == 0) return i;
    if (i + length > bytes.size()) return truncated ? std::string_view::npos : i;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return i;
    }
    i += length;
  }
  return std::string_view::npos;
}

}  // namespace

SEncodingGuess GuessEncoding(std::string_view sample, bool truncated) {
  SEncodingGuess guess;
  guess.Encoding = "UTF-8";
  guess.HasNonAscii = std::any_of(sample.begin(), sample.end(), [](char c) { return (c & 0x80) != 0; });
  if (sample.substr(0, 3) == "\xEF\xBB\xBF") return guess;
  const std::size_t bad = FirstInvalidUtf8(sample, truncated);
  if (bad == std::string_view::npos) return guess;
  guess.Encoding = "GBK";
  guess.AssumedGbk = true;
  guess.BadOffset = bad;
  return guess;
}

bool IsGbkFamily(const std::string& encoding) {
  std::string upper = encoding;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
  return upper == "GBK" || upper == "GB18030" || upper == "CP936" || upper == "GB2312";
}

}  // namespace rulecalc::batch
