#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rulecalc::batch {

// What the first bytes of a file say about its encoding.
struct SEncodingGuess {
  std::string Encoding;      // "UTF-8" or "GBK"
  bool AssumedGbk = false;   // the bytes are not UTF-8, so GBK was taken
  std::size_t BadOffset = 0; // when AssumedGbk: the first byte that is not UTF-8
  bool HasNonAscii = false;
};

// A UTF-8 byte-order mark, or bytes that are valid UTF-8, mean UTF-8;
// anything else is taken as GBK. sample may end in the middle of a character
// when truncated is true (a prefix of a larger file).
SEncodingGuess GuessEncoding(std::string_view sample, bool truncated);

// True for GBK and the encodings that contain it (GB18030, CP936).
bool IsGbkFamily(const std::string& encoding);

}  // namespace rulecalc::batch
