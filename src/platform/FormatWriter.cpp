#include "platform/FormatWriter.h"

#include "common/GbkText.h"

namespace rulecalc {

namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Characters that mean something in the format language.
bool NeedsQuotes(char c) {
  return IsAsciiLetter(c) || c == '\'' || c == '"' || c == '/' || c == ':' || static_cast<unsigned char>(c) >= 0x80;
}

}  // namespace

void TFormatWriter::Specifier(std::string_view specifier) {
  if (specifier.empty()) return;
  if (!Out.empty() && Out.back() == specifier.front()) Out += "''";
  Out += specifier;
  ++Specifiers;
}

void TFormatWriter::Literal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (Separator != 0 && text[i] == Separator) {
      Out += Mark;
      ++i;
    } else if (NeedsQuotes(text[i])) {
      std::size_t end = i;
      while (end < text.size() && NeedsQuotes(text[end]) && !(Separator != 0 && text[end] == Separator))
        end += GbkCharLength(text, end);
      Quote(text.substr(i, end - i));
      i = end;
    } else {
      Out += text[i++];
    }
  }
}

// Double quotes around the text; a double quote itself goes in single ones.
void TFormatWriter::Quote(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const bool doubleQuote = text[i] == '"';
    std::size_t end = i;
    while (end < text.size() && (text[end] == '"') == doubleQuote) end += GbkCharLength(text, end);
    const char quote = doubleQuote ? '\'' : '"';
    Out += quote;
    Out.append(text.substr(i, end - i));
    Out += quote;
    i = end;
  }
}

}  // namespace rulecalc
