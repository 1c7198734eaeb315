#include "platform/LangInfoSettings.h"

#include <cstddef>
#include <vector>

#include "platform/FormatWriter.h"

namespace rulecalc {

namespace {

// One part of a strftime format: a conversion such as %d, or literal text.
struct SStrftimePiece {
  bool IsConversion = false;
  char Conversion = 0;     // the conversion letter
  bool Unpadded = false;   // written with the "-" flag
  std::string Text;        // literal text, in the locale's codeset
};

using TPieces = std::vector<SStrftimePiece>;

void AppendLiteral(TPieces& pieces, std::string_view text) {
  if (!pieces.empty() && !pieces.back().IsConversion) pieces.back().Text += text;
  else pieces.push_back({false, 0, false, std::string(text)});
}

void AppendPiece(TPieces& pieces, const SStrftimePiece& piece) {
  if (piece.IsConversion) pieces.push_back(piece);
  else AppendLiteral(pieces, piece.Text);
}

// format := { literal | "%" { flag } [ width ] [ "E" | "O" ] letter }
TPieces SplitStrftime(std::string_view format) {
  TPieces pieces;
  std::size_t i = 0;
  while (i < format.size()) {
    if (format[i] != '%') {
      AppendLiteral(pieces, format.substr(i++, 1));
      continue;
    }
    std::size_t j = i + 1;
    bool unpadded = false;
    for (; j < format.size() && std::string_view("_-0^#").find(format[j]) != std::string_view::npos; ++j)
      unpadded = unpadded || format[j] == '-';
    while (j < format.size() && format[j] >= '0' && format[j] <= '9') ++j;
    if (j < format.size() && (format[j] == 'E' || format[j] == 'O')) ++j;
    if (j >= format.size()) {
      AppendLiteral(pieces, format.substr(i));
      break;
    }
    const char letter = format[j];
    if (letter == '%') AppendLiteral(pieces, "%");
    else if (letter == 'n' || letter == 't') AppendLiteral(pieces, " ");
    else pieces.push_back({true, letter, unpadded, {}});
    i = j + 1;
  }
  return pieces;
}

// The format that an abbreviating conversion stands for; empty for others.
std::string_view AbbreviatedFormat(char conversion, const SLangInfo& info) {
  switch (conversion) {
    case 'D': return "%m/%d/%y";
    case 'F': return "%Y-%m-%d";
    case 'T': return "%H:%M:%S";
    case 'R': return "%H:%M";
    case 'r': return info.TwelveHourFormat.empty() ? "%I:%M:%S %p" : std::string_view(info.TwelveHourFormat);
    case 'x': return info.DateFormat;
    case 'X': return info.TimeFormat;
    default: return {};
  }
}

// The pieces with every abbreviation written out (%x inside D_FMT and the
// like are followed two levels deep, then left out).
TPieces Expand(const TPieces& pieces, const SLangInfo& info, int depth = 0) {
  TPieces out;
  for (const SStrftimePiece& piece : pieces) {
    const std::string_view full = piece.IsConversion ? AbbreviatedFormat(piece.Conversion, info) : std::string_view();
    if (full.empty()) {
      AppendPiece(out, piece);
    } else if (depth < 2) {
      for (const SStrftimePiece& inner : Expand(SplitStrftime(full), info, depth + 1)) AppendPiece(out, inner);
    }
  }
  return out;
}

bool IsAsciiPunctuation(char c) {
  const bool alphanumeric = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  return c > 0x20 && c <= 0x7E && !alphanumeric;
}

// The first literal character other than a blank, when that is one ASCII
// punctuation byte (a blank, a letter or a digit separates nothing).
char SeparatorOf(const TPieces& pieces, char fallback) {
  for (const SStrftimePiece& piece : pieces) {
    if (piece.IsConversion) continue;
    const std::size_t first = piece.Text.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    return IsAsciiPunctuation(piece.Text[first]) ? piece.Text[first] : fallback;
  }
  return fallback;
}

bool IsTimeConversion(char conversion) {
  return std::string_view("HIklMSpPrRTXZzs").find(conversion) != std::string_view::npos;
}

// The specifier of the format language for a conversion; empty when there is
// none (the conversion is left out).
std::string_view SpecifierFor(const SStrftimePiece& piece) {
  switch (piece.Conversion) {
    case 'Y': case 'G': return "yyyy";
    case 'y': case 'g': return "yy";
    case 'm': return piece.Unpadded ? "m" : "mm";
    case 'd': return piece.Unpadded ? "d" : "dd";
    case 'e': return "d";
    case 'b': case 'h': return "mmm";
    case 'B': return "mmmm";
    case 'a': return "ddd";
    case 'A': return "dddd";
    case 'H': case 'I': return piece.Unpadded ? "h" : "hh";
    case 'k': case 'l': return "h";
    case 'M': return piece.Unpadded ? "n" : "nn";
    case 'S': return piece.Unpadded ? "s" : "ss";
    case 'p': case 'P': return "ampm";
    default: return {};
  }
}

// Literal text in GBK; what does not convert keeps only its ASCII bytes.
std::string LiteralInGbk(std::string_view text, const TToGbk& toGbk) {
  std::string gbk;
  if (toGbk(text, gbk)) return gbk;
  gbk.clear();
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x80) gbk += c;
  return gbk;
}

// The pieces in the format language, the separator written as mark.
TFormatWriter Translate(const TPieces& pieces, char separator, char mark, const TToGbk& toGbk) {
  TFormatWriter writer(separator, mark);
  for (const SStrftimePiece& piece : pieces) {
    if (piece.IsConversion) writer.Specifier(SpecifierFor(piece));
    else writer.Literal(LiteralInGbk(piece.Text, toGbk));
  }
  return writer;
}

// The pieces before the first time conversion, without trailing blanks and
// commas.
TPieces DatePart(const TPieces& pieces) {
  TPieces part;
  for (const SStrftimePiece& piece : pieces) {
    if (piece.IsConversion && IsTimeConversion(piece.Conversion)) break;
    part.push_back(piece);
  }
  while (!part.empty() && !part.back().IsConversion) {
    std::string& text = part.back().Text;
    while (!text.empty() && (text.back() == ' ' || text.back() == ',')) text.pop_back();
    if (!text.empty()) break;
    part.pop_back();
  }
  return part;
}

bool IsPunctuation(std::string_view text) {
  for (const char c : text)
    if (!IsAsciiPunctuation(c)) return false;
  return !text.empty();
}

// The time without its seconds: %S goes with the separator before it
// ("%H:%M:%S" gives "%H:%M"), or else with the word that follows it
// ("%H时%M分%S秒" gives "%H时%M分").
TPieces WithoutSeconds(TPieces pieces) {
  std::size_t k = 0;
  while (k < pieces.size() && !(pieces[k].IsConversion && pieces[k].Conversion == 'S')) ++k;
  if (k == pieces.size()) return pieces;
  if (k > 0 && !pieces[k - 1].IsConversion && IsPunctuation(pieces[k - 1].Text)) {
    pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(k - 1), pieces.begin() + static_cast<std::ptrdiff_t>(k + 1));
    return pieces;
  }
  if (k + 1 < pieces.size() && !pieces[k + 1].IsConversion) {
    std::string& next = pieces[k + 1].Text;
    next.erase(0, next.find(' ') == std::string::npos ? next.size() : next.find(' '));
    if (next.empty()) pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(k + 1));
  }
  pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(k));
  return pieces;
}

// The names in GBK, all or none: a locale whose names do not all convert
// keeps the English ones.
template <std::size_t N>
void ConvertNames(const std::array<std::string, N>& names, std::array<std::string, N>& target, const TToGbk& toGbk) {
  std::array<std::string, N> converted;
  for (std::size_t i = 0; i < N; ++i)
    if (names[i].empty() || !toGbk(names[i], converted[i])) return;
  target = converted;
}

void ConvertDesignator(const std::string& text, std::string& target, const TToGbk& toGbk) {
  std::string gbk;
  if (toGbk(text, gbk)) target = gbk;
}

}  // namespace

// A locale without a usable date or time format keeps the defaults for it.
SRegionalSettings SettingsFromLangInfo(const SLangInfo& info, const TToGbk& toGbk) {
  SRegionalSettings settings;

  const TPieces shortDate = Expand(SplitStrftime(info.DateFormat), info);
  const char dateSeparator = SeparatorOf(shortDate, '/');
  const TFormatWriter shortDateFormat = Translate(shortDate, dateSeparator, '/', toGbk);
  if (shortDateFormat.HasSpecifier()) {
    settings.DateSeparator = dateSeparator;
    settings.ShortDateFormat = shortDateFormat.Text();
    settings.LongDateFormat = shortDateFormat.Text();
  }
  const TFormatWriter longDate =
      Translate(DatePart(Expand(SplitStrftime(info.DateTimeFormat), info)), settings.DateSeparator, '/', toGbk);
  if (longDate.HasSpecifier()) settings.LongDateFormat = longDate.Text();

  const TPieces longTime = Expand(SplitStrftime(info.TimeFormat), info);
  const char timeSeparator = SeparatorOf(longTime, ':');
  const TFormatWriter longTimeFormat = Translate(longTime, timeSeparator, ':', toGbk);
  if (longTimeFormat.HasSpecifier()) {
    settings.TimeSeparator = timeSeparator;
    settings.LongTimeFormat = longTimeFormat.Text();
    settings.ShortTimeFormat = Translate(WithoutSeconds(longTime), timeSeparator, ':', toGbk).Text();
  }

  ConvertNames(info.MonthNames, settings.LongMonthNames, toGbk);
  ConvertNames(info.ShortMonthNames, settings.ShortMonthNames, toGbk);
  ConvertNames(info.DayNames, settings.LongDayNames, toGbk);
  ConvertNames(info.ShortDayNames, settings.ShortDayNames, toGbk);
  ConvertDesignator(info.AMString, settings.TimeAMString, toGbk);
  ConvertDesignator(info.PMString, settings.TimePMString, toGbk);
  if (info.Radix.size() == 1) settings.DecimalSeparator = info.Radix.front();
  return settings;
}

}  // namespace rulecalc
