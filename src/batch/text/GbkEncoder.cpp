#include "batch/text/GbkEncoder.h"

namespace rulecalc::batch {

namespace {

const iconv_t kNoHandle = reinterpret_cast<iconv_t>(-1);
constexpr std::uint16_t kNoCode = 0;
constexpr std::uint16_t kNotAsked = 0xFFFF;  // no GBK code: its trail byte would be 0xFF

bool IsPrivateUse(char32_t character) { return character >= 0xE000 && character <= 0xF8FF; }

// Converts bytes with handle; the bytes made, or none when it fails.
std::optional<std::string> Converted(iconv_t handle, const char* bytes, std::size_t length) {
  char in[4];
  char out[8];
  for (std::size_t i = 0; i < length; ++i) in[i] = bytes[i];
  char* inPtr = in;
  char* outPtr = out;
  std::size_t inLeft = length;
  std::size_t outLeft = sizeof out;
  iconv(handle, nullptr, nullptr, nullptr, nullptr);
  if (iconv(handle, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) {
    return std::nullopt;
  }
  return std::string(out, static_cast<std::size_t>(outPtr - out));
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The code point of the UTF-8 character at the start of text and its length
// in bytes; length 0 when the bytes start none (a stray continuation byte,
// an overlong form, a surrogate, beyond U+10FFFF, cut short).
char32_t DecodeUtf8(std::string_view text, std::size_t& length) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = at(0);
  length = 0;
  std::size_t size = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    size = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    size = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    size = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < size || at(1) < low || at(1) > high) return 0;
  char32_t character = lead & (0xFF >> (size + 1));
  for (std::size_t i = 1; i < size; ++i) {
    if (!IsContinuation(at(i))) return 0;
    character = character << 6 | (at(i) & 0x3F);
  }
  length = size;
  return character;
}

}  // namespace

TGbkCodes::TGbkCodes() : Encoder(iconv_open("GBK", "UTF-32LE")) {}

// The table, made on the first character above ASCII: most texts have none.
void TGbkCodes::MakeTable() {
  if (Encoder != kNoHandle) {
    Codes.assign(0x10000, kNotAsked);
    return;
  }
  Codes.assign(0x10000, kNoCode);
  if (const iconv_t decoder = iconv_open("UTF-32LE", "GBK"); decoder != kNoHandle) {
    ReadDecoder(decoder);
    iconv_close(decoder);
  }
}

TGbkCodes::~TGbkCodes() {
  if (Encoder != kNoHandle) iconv_close(Encoder);
}

// Every double-byte code through the decoder, the first code of a character
// kept; the user-defined areas (private-use characters) left out, as GBK has
// them not.
void TGbkCodes::ReadDecoder(iconv_t decoder) {
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      const std::optional<std::string> wide = Converted(decoder, bytes, sizeof bytes);
      if (!wide || wide->size() != 4) continue;
      const auto at = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>((*wide)[i])); };
      const char32_t character = at(0) | at(1) << 8 | at(2) << 16 | at(3) << 24;
      if (character >= 0x80 && character <= 0xFFFF && !IsPrivateUse(character) && Codes[character] == kNoCode) {
        Codes[character] = static_cast<std::uint16_t>(lead << 8 | trail);
      }
    }
  }
}

std::uint16_t TGbkCodes::Encode(char32_t character) {
  const char bytes[4] = {static_cast<char>(character & 0xFF), static_cast<char>(character >> 8 & 0xFF), 0, 0};
  const std::optional<std::string> gbk = Converted(Encoder, bytes, sizeof bytes);
  if (!gbk || gbk->empty() || gbk->size() > 2) return kNoCode;
  if (gbk->size() == 1) return static_cast<unsigned char>((*gbk)[0]);
  return static_cast<std::uint16_t>(static_cast<unsigned char>((*gbk)[0]) << 8 | static_cast<unsigned char>((*gbk)[1]));
}

// The code of a character above ASCII, kNoCode for none.
std::uint16_t TGbkCodes::Lookup(char32_t character) {
  if (character > 0xFFFF) return kNoCode;
  if (Codes.empty()) MakeTable();
  std::uint16_t& code = Codes[character];
  if (code == kNotAsked) code = Encode(character);
  return code;
}

std::optional<std::uint16_t> TGbkCodes::Code(char32_t character) {
  if (character < 0x80) return static_cast<std::uint16_t>(character);
  const std::uint16_t code = Lookup(character);
  if (code == kNoCode) return std::nullopt;
  return code;
}

std::size_t TGbkCodes::AppendUtf8(std::string_view utf8, std::string& out) {
  // GBK never takes more bytes than UTF-8 for the same characters.
  const std::size_t start = out.size();
  out.resize(start + utf8.size());
  char* to = out.data() + start;
  std::size_t i = 0;
  std::size_t stop = std::string_view::npos;
  while (i < utf8.size()) {
    const unsigned char byte = static_cast<unsigned char>(utf8[i]);
    if (byte < 0x80) {
      *to++ = static_cast<char>(byte);
      ++i;
      continue;
    }
    std::size_t length = 0;
    const char32_t character = DecodeUtf8(utf8.substr(i), length);
    const std::uint16_t code = length == 0 ? kNoCode : Lookup(character);
    if (code == kNoCode) {
      stop = i;
      break;
    }
    if (code >= 0x100) *to++ = static_cast<char>(code >> 8);
    *to++ = static_cast<char>(code & 0xFF);
    i += length;
  }
  out.resize(static_cast<std::size_t>(to - out.data()));
  return stop;
}

}  // namespace rulecalc::batch
