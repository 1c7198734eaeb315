// TOCHAR: a date value written out by a format.
//
// A format is read left to right. Letters are recognised in either case; a
// run of one letter in one case is one specifier whose length is the run's
// length. Quoted text is copied without its quotes, every other character is
// copied as it is; a GBK double-byte character is copied whole, so its second
// byte is never taken for a letter.

#include <cstddef>
#include <string>
#include <utility>

#include "common/GbkText.h"
#include "vm/Calendar.h"
#include "vm/DateBuiltins.h"

namespace rulecalc {

namespace {

constexpr std::size_t kMaxFormattedLength = 256;
// The format given is level 1; the formats it names (c, ddddd, t, ...) are
// level 2, and what those name in turn gives nothing.
constexpr int kDeepestFormatLevel = 2;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsLetter(char c) { return Lower(c) >= 'a' && Lower(c) <= 'z'; }

bool StartsWithNoCase(std::string_view text, std::size_t i, std::string_view word) {
  if (text.size() - i < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k)
    if (Lower(text[i + k]) != word[k]) return false;
  return true;
}

// Position after the quoted text that starts at i (an unclosed quote runs to
// the end of the format).
std::size_t EndOfQuote(std::string_view format, std::size_t i) {
  const std::size_t close = format.find(format[i], i + 1);
  return close == std::string_view::npos ? format.size() : close + 1;
}

// Number of times the character at i repeats, in the same case.
std::size_t RunLengthAt(std::string_view format, std::size_t i) {
  std::size_t end = i + 1;
  while (end < format.size() && format[end] == format[i]) ++end;
  return end - i;
}

enum class EMMarker { None, AmPm, AP, Designator };

// The morning/afternoon specifier starting at i: "am/pm", "a/p" or "ampm".
EMMarker MarkerAt(std::string_view format, std::size_t i) {
  if (StartsWithNoCase(format, i, "am/pm")) return EMMarker::AmPm;
  if (StartsWithNoCase(format, i, "a/p")) return EMMarker::AP;
  if (StartsWithNoCase(format, i, "ampm")) return EMMarker::Designator;
  return EMMarker::None;
}

std::size_t MarkerLength(EMMarker marker) {
  switch (marker) {
    case EMMarker::AmPm: return 5;
    case EMMarker::AP: return 3;
    case EMMarker::Designator: return 4;
    default: return 0;
  }
}

// True when a morning/afternoon specifier follows from i before the next h.
bool MarkerAhead(std::string_view format, std::size_t i) {
  while (i < format.size()) {
    const char c = format[i];
    if (Lower(c) == 'h') return false;
    if (MarkerAt(format, i) != EMMarker::None) return true;
    i = (c == '\'' || c == '"') ? EndOfQuote(format, i) : i + GbkCharLength(format, i);
  }
  return false;
}

class TDateFormatter {
 public:
  TDateFormatter(const SDateParts& moment, const SRegionalSettings& settings)
      : Moment(moment), Settings(settings) {}

  std::string Format(std::string_view format) {
    AppendFormat(format.empty() ? std::string_view("c") : format, 1);
    if (Out.size() > kMaxFormattedLength) Out.resize(kMaxFormattedLength);
    return std::move(Out);
  }

 private:
  bool Full() const { return Out.size() >= kMaxFormattedLength; }

  void AppendFormat(std::string_view format, int level) {
    if (level > kDeepestFormatLevel) return;
    char lastLetter = 0;
    std::size_t i = 0;
    while (i < format.size() && !Full()) {
      const char c = format[i];
      const EMMarker marker = MarkerAt(format, i);
      if (c == '\'' || c == '"') {
        i = AppendQuoted(format, i);
      } else if (marker != EMMarker::None) {
        AppendMarker(marker, format.substr(i, MarkerLength(marker)));
        lastLetter = Lower(format[i + MarkerLength(marker) - 1]);
        i += MarkerLength(marker);
      } else if (IsLetter(c)) {
        const std::size_t count = RunLengthAt(format, i);
        // An hour counts on the twelve-hour clock when a morning/afternoon
        // specifier was written already or follows before the next h.
        const bool twelveHour = Lower(c) == 'h' && (MarkerWritten || MarkerAhead(format, i + count));
        AppendSpecifier(Lower(c), format.substr(i, count), lastLetter == 'h', twelveHour, level);
        lastLetter = Lower(c);
        i += count;
      } else {
        AppendOther(format, i);
        i += GbkCharLength(format, i);
      }
    }
  }

  // The text between the quote at i and its partner; returns the position
  // after the closing quote.
  std::size_t AppendQuoted(std::string_view format, std::size_t i) {
    const std::size_t end = EndOfQuote(format, i);
    const bool closed = end > i + 1 && format[end - 1] == format[i];
    Out.append(format.substr(i + 1, end - i - 1 - (closed ? 1 : 0)));
    return end;
  }

  // A specifier: letter is its letter in lower case, run the run as written.
  void AppendSpecifier(char letter, std::string_view run, bool afterHour, bool twelveHour, int level) {
    const std::size_t count = run.size();
    switch (letter) {
      case 'c': AppendDateAndTime(level); break;
      case 'd': AppendDay(count, level); break;
      case 'm': AppendMonth(count, afterHour); break;
      case 'y': AppendNumber(count <= 2 ? Moment.Date.Year % 100 : Moment.Date.Year, count <= 2 ? 2 : 4); break;
      case 'h': AppendHour(count, twelveHour); break;
      case 'n': AppendNumber(Moment.Time.Minute, count >= 2 ? 2 : 1); break;
      case 's': AppendNumber(Moment.Time.Second, count >= 2 ? 2 : 1); break;
      case 'z': AppendNumber(Moment.Time.Millisecond, static_cast<int>(count >= 3 ? 3 : count)); break;
      case 't': AppendFormat(count == 1 ? Settings.ShortTimeFormat : Settings.LongTimeFormat, level + 1); break;
      case 'a': AppendWeekdayOrText(run); break;
      case 'e': case 'g': break;  // eras: nothing is written for them
      default: Out.append(run); break;
    }
  }

  // c: the short date, and the long time when the time is not midnight.
  void AppendDateAndTime(int level) {
    AppendFormat(Settings.ShortDateFormat, level + 1);
    const STimeOfDay& t = Moment.Time;
    if (t.Hour != 0 || t.Minute != 0 || t.Second != 0) {
      Out += ' ';
      AppendFormat(Settings.LongTimeFormat, level + 1);
    }
  }

  // d, dd: day of the month; ddd, dddd: weekday name; ddddd: short date;
  // dddddd and longer: long date.
  void AppendDay(std::size_t count, int level) {
    switch (count) {
      case 1: case 2: AppendNumber(Moment.Date.Day, static_cast<int>(count)); break;
      case 3: Out += Settings.ShortDayNames[Moment.Weekday]; break;
      case 4: Out += Settings.LongDayNames[Moment.Weekday]; break;
      case 5: AppendFormat(Settings.ShortDateFormat, level + 1); break;
      default: AppendFormat(Settings.LongDateFormat, level + 1); break;
    }
  }

  // m, mm: month, or the minute right after an hour; mmm, mmmm: month name.
  void AppendMonth(std::size_t count, bool afterHour) {
    if (count <= 2) {
      AppendNumber(afterHour ? Moment.Time.Minute : Moment.Date.Month, static_cast<int>(count));
    } else {
      const auto& names = count == 3 ? Settings.ShortMonthNames : Settings.LongMonthNames;
      Out += names[static_cast<std::size_t>(Moment.Date.Month - 1)];
    }
  }

  // h, hh: 1-12 on a twelve-hour clock (0 shown as 12), else 0-23.
  void AppendHour(std::size_t count, bool twelveHour) {
    int hour = Moment.Time.Hour;
    if (twelveHour) {
      hour %= 12;
      if (hour == 0) hour = 12;
    }
    AppendNumber(hour, count >= 2 ? 2 : 1);
  }

  // aaa, aaaa and longer: weekday name; a shorter run is plain text.
  void AppendWeekdayOrText(std::string_view run) {
    if (run.size() == 3) Out += Settings.ShortDayNames[Moment.Weekday];
    else if (run.size() > 3) Out += Settings.LongDayNames[Moment.Weekday];
    else Out.append(run);
  }

  // am/pm and a/p choose their half as written; ampm is the designator.
  void AppendMarker(EMMarker marker, std::string_view written) {
    const bool morning = Moment.Time.Hour < 12;
    MarkerWritten = true;
    switch (marker) {
      case EMMarker::AmPm: Out.append(written.substr(morning ? 0 : 3, 2)); break;
      case EMMarker::AP: Out += written[morning ? 0 : 2]; break;
      default: Out += morning ? Settings.TimeAMString : Settings.TimePMString; break;
    }
  }

  // '/' and ':' are the separators; anything else is copied.
  void AppendOther(std::string_view format, std::size_t i) {
    if (format[i] == '/') Out += Settings.DateSeparator;
    else if (format[i] == ':') Out += Settings.TimeSeparator;
    else Out.append(format.substr(i, GbkCharLength(format, i)));
  }

  // value in decimal, zero-padded to at least digits digits.
  void AppendNumber(int value, int digits) {
    const std::string text = std::to_string(value);
    if (static_cast<int>(text.size()) < digits) Out.append(static_cast<std::size_t>(digits) - text.size(), '0');
    Out += text;
  }

  const SDateParts& Moment;
  const SRegionalSettings& Settings;
  std::string Out;
  bool MarkerWritten = false;
};

}  // namespace

std::string FormatDate(double date, std::string_view format, const SRegionalSettings& settings) {
  if (!IsDateValue(date)) return {};
  return TDateFormatter(SplitDateValue(date), settings).Format(format);
}

}  // namespace rulecalc
