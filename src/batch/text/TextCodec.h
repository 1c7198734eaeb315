#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "batch/text/Conversion.h"

namespace rulecalc::batch {

// Converts between the outside encoding (the terminal's, or the one asked
// for) and GBK, the only encoding the library speaks. Going in is strict:
// text that is invalid or has characters GBK lacks is refused. Coming out is
// lenient: what the outside encoding cannot show becomes "?".
// One codec per thread: the conversion handles keep state while they work.
class TTextCodec {
 public:
  // Throws TUsageError when the system does not know the encoding.
  explicit TTextCodec(const std::string& outsideEncoding);
  TTextCodec(const TTextCodec&) = delete;
  TTextCodec& operator=(const TTextCodec&) = delete;

  // Converts text to GBK into gbk. On failure returns false with badOffset at
  // the first byte that could not be converted.
  bool TryToGbk(std::string_view text, std::string& gbk, std::size_t& badOffset);

  // As TryToGbk for a value of the data: a character GBK lacks is taken in
  // its GB18030 form (four bytes, or two for the few GB18030 adds to GBK's
  // double-byte range), so that it passes through to the reports. Only from
  // UTF-8; from another encoding this is TryToGbk.
  bool TryToGbkWidened(std::string_view text, std::string& gbk, std::size_t& badOffset);

  // Converts every text to GBK into gbk (resized to match). False when any text cannot be converted (gbk is then unspecified: convert
  // one by one to learn which and where).
  bool TryAllToGbk(const std::vector<std::string>& texts, std::vector<std::string>& gbk);

  // As TryToGbk, but throws TConversionError naming what and where; what
  // says which text it was ("the sentence", "the value of AGE", ...). A text
  // with a NUL byte is refused too, as the library would read it only up to
  // there.
  std::string ToGbk(std::string_view text, const std::string& what);

  // GBK text in the outside encoding; a GB18030 character that GBK lacks
  // (as TryToGbkWidened makes them) is converted as GB18030.
  std::string FromGbk(std::string_view gbk);

  // As FromGbk, but control characters show as \xNN (see ShowingControls):
  // for every text of the data or the rules that reaches a terminal.
  std::string FromGbkShowingControls(std::string_view gbk);

  // As FromGbkShowingControls, and a byte that cannot be converted shows as \xNN too.
  std::string FromGbkShowingBytes(std::string_view gbk);

  const std::string& Encoding() const { return Outside; }

 private:
  std::string Converted(std::string_view gbk, bool showBytes);
  std::size_t ConvertedAsGb18030(std::string_view gbk, std::string& out);
  TConversion& Gb18030Conversion(std::unique_ptr<TConversion>& conversion, const std::string& to,
                                 const std::string& from, bool lenient);
  std::string ConvertedShowingControls(std::string_view gbk, bool showBytes);

  std::string Outside;
  TConversion IntoGbk;
  TConversion OutOfGbk;  // lenient
  std::unique_ptr<TConversion> IntoGb18030;  // opened when first needed
  std::unique_ptr<TConversion> OutOfGb18030;
  bool AsciiCompatible = false;  // ASCII bytes mean the same on both sides
  bool Utf8 = false;             // the outside encoding is UTF-8, which keeps no state between characters
};

}  // namespace rulecalc::batch
