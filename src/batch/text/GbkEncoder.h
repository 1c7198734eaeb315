#pragma once

#include <cstdint>
#include <optional>

namespace rulecalc::batch {

// The GBK code of a character (a Unicode code point): one byte for ASCII,
// two for the rest; nothing for a character GBK lacks. Built once, on first
// use, from the C library's own GBK decoder, for a C library that decodes
// GBK but cannot encode it (musl, and emscripten's).
std::optional<std::uint16_t> GbkCode(char32_t character);

// Whether an encoding name names GBK or a superset of it written the same
// way in its double-byte part ("GBK", "CP936", "GB2312", "GB18030").
bool NamesGbkFamily(const char* name);

}  // namespace rulecalc::batch
