#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace rulecalc::batch {

// The kinds of byte string the engine hands to its clients; each is read
// back only as its own kind.
enum class EMByteStringKind : std::uint8_t { Plan = 1, Scan = 2, Block = 3, Part = 4 };

// A byte string that is not one this library wrote (foreign, cut, changed).
class TForeignBytes : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes values into a byte string: integers little-endian, texts with their length first.
class TByteWriter {
 public:
  void U8(std::uint8_t value) { Bytes += static_cast<char>(value); }
  void U64(std::uint64_t value);
  void Flag(bool value) { U8(value ? 1 : 0); }
  void Text(std::string_view text);

  // The bytes written, behind a head that names the kind, the library's
  // version of the format, the length and a checksum of the rest.
  std::string Sealed(EMByteStringKind kind) const;

 private:
  std::string Bytes;
};

// Reads what TByteWriter wrote; every length is checked against what is
// left, and anything out of place throws TForeignBytes.
class TByteReader {
 public:
  // Checks the head (kind, version, length, checksum) and stands after it.
  TByteReader(const char* bytes, std::size_t length, EMByteStringKind kind);

  std::uint8_t U8();
  std::uint64_t U64();
  bool Flag();
  std::string Text();
  // A count of items that each take at least itemBytes bytes: refused when
  // what is left could not hold them.
  std::size_t Count(std::size_t itemBytes = 1);
  // A value that must be below limit.
  std::size_t Index(std::size_t limit);
  // Throws unless every byte was read.
  void End() const;

 private:
  void Need(std::size_t count) const;

  std::string_view Rest;
};

// A short fingerprint of bytes (to tie blocks and parts to their plan).
std::uint64_t Fingerprint(std::string_view bytes);

}  // namespace rulecalc::batch
