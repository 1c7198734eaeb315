#include "batch/text/ControlCharacters.h"

#include <algorithm>
#include <cstdio>

namespace rulecalc::batch {

namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

bool KeptTab(std::string_view text, std::size_t i) { return text[i] == '\t' && i > 0 && i + 1 < text.size(); }

}  // namespace

std::string ShowingControls(std::string_view text) {
  if (std::none_of(text.begin(), text.end(), [](char c) { return IsControl(static_cast<unsigned char>(c)); })) {
    return std::string(text);
  }
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (!IsControl(c) || KeptTab(text, i)) {
      shown += text[i];
      continue;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
    shown += escaped;
  }
  return shown;
}

}  // namespace rulecalc::batch
