#pragma once

#include <string>
#include <string_view>

namespace rulecalc {

// Writes a text in the TOCHAR format language from the platform's own date
// and time formats: specifiers as given, literal text so that it prints as
// it is, and the platform's separator character as the separator specifier.
class TFormatWriter {
 public:
  // separator (0 for none) is written as mark, "/" for dates, ":" for times.
  TFormatWriter(char separator, char mark) : Separator(separator), Mark(mark) {}

  // A specifier such as "yyyy" or "ampm". One that would run into the
  // previous one (dd after d) is kept apart by an empty quote.
  void Specifier(std::string_view specifier);

  // GBK text printed as it is: letters, quotes, separators of the other kind
  // and double-byte characters are quoted, everything else is kept.
  void Literal(std::string_view text);

  // True when at least one specifier was written.
  bool HasSpecifier() const { return Specifiers > 0; }

  const std::string& Text() const { return Out; }

 private:
  void Quote(std::string_view text);

  char Separator;
  char Mark;
  int Specifiers = 0;
  std::string Out;
};

}  // namespace rulecalc
