#include "platform/WindowsPictures.h"

#include <cstddef>

#include "common/GbkText.h"
#include "platform/FormatWriter.h"

namespace rulecalc {

namespace {

// Position after the quoted text that starts at i; its text, with each ''
// made one quote, goes to text.
std::size_t ReadQuoted(std::string_view picture, std::size_t i, std::string& text) {
  ++i;
  while (i < picture.size()) {
    if (picture[i] == '\'') {
      if (i + 1 < picture.size() && picture[i + 1] == '\'') {
        text += '\'';
        i += 2;
        continue;
      }
      return i + 1;
    }
    const std::size_t length = GbkCharLength(picture, i);
    text.append(picture.substr(i, length));
    i += length;
  }
  return i;
}

// The specifier for a run of one picture letter; empty for an era, and
// nullptr when the letter means nothing in a picture.
const char* SpecifierFor(char letter, std::size_t count) {
  switch (letter) {
    case 'd': return count == 1 ? "d" : count == 2 ? "dd" : count == 3 ? "ddd" : "dddd";
    case 'M': return count == 1 ? "m" : count == 2 ? "mm" : count == 3 ? "mmm" : "mmmm";
    case 'y': return count <= 2 ? "yy" : "yyyy";
    case 'g': return "";
    case 'h': case 'H': return count == 1 ? "h" : "hh";
    case 'm': return count == 1 ? "n" : "nn";
    case 's': return count == 1 ? "s" : "ss";
    case 't': return "ampm";
    default: return nullptr;
  }
}

// A one-byte ASCII character other than a letter, digit, blank or quote.
bool IsPunctuation(std::string_view text, std::size_t i) {
  const char c = text[i];
  const bool alphanumeric = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  return GbkCharLength(text, i) == 1 && c > 0x20 && c <= 0x7E && !alphanumeric && c != '\'' && c != '"';
}

char SeparatorOf(const std::string& text, char fallback) {
  return (!text.empty() && text.front() >= 0x20 && text.front() <= 0x7E) ? text.front() : fallback;
}

// All names or none: a set with a name missing keeps the English one.
template <std::size_t N>
void CopyNames(const std::array<std::string, N>& names, std::array<std::string, N>& target) {
  for (const std::string& name : names)
    if (name.empty()) return;
  target = names;
}

}  // namespace

// picture := { "''" | "'" quoted "'" | run of one letter | other character }
std::string TranslatePicture(std::string_view picture, char separator, char mark) {
  TFormatWriter writer(separator, mark);
  std::size_t i = 0;
  while (i < picture.size()) {
    const char c = picture[i];
    if (c == '\'' && i + 1 < picture.size() && picture[i + 1] == '\'') {
      writer.Literal("'");
      i += 2;
      continue;
    }
    if (c == '\'') {
      std::string text;
      i = ReadQuoted(picture, i, text);
      writer.Literal(text);
      continue;
    }
    if (GbkCharLength(picture, i) == 2) {
      writer.Literal(picture.substr(i, 2));
      i += 2;
      continue;
    }
    std::size_t count = 1;
    while (i + count < picture.size() && picture[i + count] == c) ++count;
    const char* specifier = SpecifierFor(c, count);
    if (specifier != nullptr) writer.Specifier(specifier);
    else writer.Literal(picture.substr(i, count));
    i += count;
  }
  return writer.Text();
}

// The seconds go with the punctuation before them ("H:mm:ss" gives "H:mm"),
// or else with the double-byte character after them ("H时mm分ss秒" gives
// "H时mm分").
std::string PictureWithoutSeconds(std::string_view picture) {
  bool quoted = false;
  std::size_t previous = std::string_view::npos;  // start of the character before i
  for (std::size_t i = 0; i < picture.size(); i += GbkCharLength(picture, i)) {
    if (picture[i] == '\'') quoted = !quoted;
    if (quoted || picture[i] != 's') {
      previous = i;
      continue;
    }
    std::size_t end = i;
    while (end < picture.size() && picture[end] == 's') ++end;
    std::size_t start = i;
    if (previous != std::string_view::npos && IsPunctuation(picture, previous)) start = previous;
    else if (end < picture.size() && GbkCharLength(picture, end) == 2) end += 2;
    return std::string(picture.substr(0, start)) + std::string(picture.substr(end));
  }
  return std::string(picture);
}

SRegionalSettings SettingsFromWindowsLocale(const SWindowsLocaleInfo& info) {
  SRegionalSettings settings;
  settings.DateSeparator = SeparatorOf(info.DateSeparator, settings.DateSeparator);
  settings.TimeSeparator = SeparatorOf(info.TimeSeparator, settings.TimeSeparator);
  if (info.Decimal.size() == 1) settings.DecimalSeparator = info.Decimal.front();

  const auto translate = [&](const std::string& picture, char separator, char mark, std::string& target) {
    if (!picture.empty()) target = TranslatePicture(picture, separator, mark);
  };
  translate(info.ShortDate, settings.DateSeparator, '/', settings.ShortDateFormat);
  translate(info.LongDate, settings.DateSeparator, '/', settings.LongDateFormat);
  translate(info.LongTime, settings.TimeSeparator, ':', settings.LongTimeFormat);
  translate(info.ShortTime.empty() ? PictureWithoutSeconds(info.LongTime) : info.ShortTime, settings.TimeSeparator,
            ':', settings.ShortTimeFormat);

  CopyNames(info.MonthNames, settings.LongMonthNames);
  CopyNames(info.ShortMonthNames, settings.ShortMonthNames);
  CopyNames(info.DayNames, settings.LongDayNames);
  CopyNames(info.ShortDayNames, settings.ShortDayNames);
  if (info.AMString) settings.TimeAMString = *info.AMString;
  if (info.PMString) settings.TimePMString = *info.PMString;
  return settings;
}

}  // namespace rulecalc
