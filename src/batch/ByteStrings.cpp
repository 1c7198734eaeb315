#include "batch/ByteStrings.h"

#include <cstring>

namespace rulecalc::batch {

namespace {

constexpr char kMagic[4] = {'R', 'C', 'B', 'E'};
constexpr std::uint8_t kFormatVersion = 1;
// magic, version, kind, payload length, checksum
constexpr std::size_t kHeadBytes = sizeof kMagic + 2 + 8 + 8;

void PutU64(std::string& out, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t GetU64(const char* bytes) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
  return value;
}

}  // namespace

std::uint64_t Fingerprint(std::string_view bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;  // FNV-1a
  for (char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

void TByteWriter::U64(std::uint64_t value) { PutU64(Bytes, value); }

void TByteWriter::Text(std::string_view text) {
  U64(text.size());
  Bytes.append(text.data(), text.size());
}

std::string TByteWriter::Sealed(EMByteStringKind kind) const {
  std::string sealed(kMagic, sizeof kMagic);
  sealed += static_cast<char>(kFormatVersion);
  sealed += static_cast<char>(kind);
  PutU64(sealed, Bytes.size());
  PutU64(sealed, Fingerprint(Bytes));
  return sealed + Bytes;
}

TByteReader::TByteReader(const char* bytes, std::size_t length, EMByteStringKind kind) {
  if (!bytes || length < kHeadBytes || std::memcmp(bytes, kMagic, sizeof kMagic) != 0) {
    throw TForeignBytes("not a byte string of this library");
  }
  if (static_cast<std::uint8_t>(bytes[4]) != kFormatVersion) throw TForeignBytes("a byte string of another version");
  if (static_cast<std::uint8_t>(bytes[5]) != static_cast<std::uint8_t>(kind)) {
    throw TForeignBytes("a byte string of another kind");
  }
  const std::string_view payload(bytes + kHeadBytes, length - kHeadBytes);
  if (GetU64(bytes + 6) != payload.size()) throw TForeignBytes("a byte string cut short or run on");
  if (GetU64(bytes + 14) != Fingerprint(payload)) throw TForeignBytes("a byte string that was changed");
  Rest = payload;
}

void TByteReader::Need(std::size_t count) const {
  if (Rest.size() < count) throw TForeignBytes("a byte string cut short");
}

std::uint8_t TByteReader::U8() {
  Need(1);
  const auto value = static_cast<std::uint8_t>(Rest[0]);
  Rest.remove_prefix(1);
  return value;
}

std::uint64_t TByteReader::U64() {
  Need(8);
  const std::uint64_t value = GetU64(Rest.data());
  Rest.remove_prefix(8);
  return value;
}

bool TByteReader::Flag() {
  const std::uint8_t value = U8();
  if (value > 1) throw TForeignBytes("a byte string with a bad flag");
  return value == 1;
}

std::string TByteReader::Text() {
  const std::uint64_t length = U64();
  Need(length);
  std::string text(Rest.substr(0, length));
  Rest.remove_prefix(length);
  return text;
}

std::size_t TByteReader::Count(std::size_t itemBytes) {
  const std::uint64_t count = U64();
  if (itemBytes == 0 || count > Rest.size() / itemBytes) throw TForeignBytes("a byte string with a bad count");
  return static_cast<std::size_t>(count);
}

std::size_t TByteReader::Index(std::size_t limit) {
  const std::uint64_t value = U64();
  if (value >= limit) throw TForeignBytes("a byte string with a bad index");
  return static_cast<std::size_t>(value);
}

void TByteReader::End() const {
  if (!Rest.empty()) throw TForeignBytes("a byte string with bytes left over");
}

}  // namespace rulecalc::batch
