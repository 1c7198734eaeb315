// TODATE: a date written as two or three numbers.

#include <cstddef>

#include "vm/Calendar.h"
#include "vm/DateBuiltins.h"

namespace rulecalc {

namespace {

enum class EMDateOrder { MonthDayYear, DayMonthYear, YearMonthDay };

// The first D, E, M or Y of the short date format decides the order of the
// numbers; a format without any of them reads month-day-year.
EMDateOrder DateOrderOf(std::string_view shortDateFormat) {
  for (const char c : shortDateFormat) {
    switch (c) {
      case 'D': case 'd': return EMDateOrder::DayMonthYear;
      case 'E': case 'e': case 'Y': case 'y': return EMDateOrder::YearMonthDay;
      case 'M': case 'm': return EMDateOrder::MonthDayYear;
      default: break;
    }
  }
  return EMDateOrder::MonthDayYear;
}

struct SWrittenNumber {
  int Value = 0;
  int Digits = 0;  // as written, leading zeros included
};

// Reads the text left to right; every step reports whether it matched.
class TDateTextReader {
 public:
  TDateTextReader(std::string_view text, char separator) : Text(text), Separator(separator) {}

  // number := blanks digit { digit }, digits read while the value is below 1000
  bool ReadNumber(SWrittenNumber& number) {
    SkipBlanks();
    const std::size_t start = Pos;
    while (Pos < Text.size() && IsDigit(Text[Pos]) && number.Value < 1000)
      number.Value = number.Value * 10 + (Text[Pos++] - '0');
    number.Digits = static_cast<int>(Pos - start);
    return number.Digits > 0;
  }

  // separator := blanks date-separator (a blank separator is any run of blanks)
  bool ReadSeparator() {
    const std::size_t start = Pos;
    SkipBlanks();
    if (Pos < Text.size() && Text[Pos] == Separator) {
      ++Pos;
      return true;
    }
    if (Separator == ' ' && Pos > start) return true;
    Pos = start;
    return false;
  }

  // A position to come back to when a step matched only in part.
  std::size_t Mark() const { return Pos; }
  void Reset(std::size_t mark) { Pos = mark; }

  // end := [ separator ] blanks
  bool ReadEnd() {
    ReadSeparator();
    SkipBlanks();
    return Pos == Text.size();
  }

 private:
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
  void SkipBlanks() {
    while (Pos < Text.size() && Text[Pos] == ' ') ++Pos;
  }

  std::string_view Text;
  char Separator;
  std::size_t Pos = 0;
};

// A one- or two-digit year lands in the hundred years from fifty years
// before the current year.
int WindowedYear(const SWrittenNumber& year, int currentYear) {
  if (year.Digits > 2) return year.Value;
  const int base = currentYear - 50;
  const int placed = year.Value + base / 100 * 100;
  return placed < base ? placed + 100 : placed;
}

}  // namespace

// date-text := number separator number [ separator number ] end
std::optional<double> ReadDateText(std::string_view text, const SRegionalSettings& settings, int currentYear) {
  TDateTextReader reader(text, settings.DateSeparator);
  SWrittenNumber numbers[3];
  if (!reader.ReadNumber(numbers[0])) return std::nullopt;
  int count = 1;
  while (count < 3) {
    const std::size_t mark = reader.Mark();
    SWrittenNumber next;
    if (!reader.ReadSeparator() || !reader.ReadNumber(next)) {
      reader.Reset(mark);  // a separator without a number can only end the text
      break;
    }
    numbers[count++] = next;
  }
  if (count < 2 || !reader.ReadEnd()) return std::nullopt;

  const EMDateOrder order = DateOrderOf(settings.ShortDateFormat);
  SCalendarDate date;
  if (count == 2) {
    const bool dayFirst = order == EMDateOrder::DayMonthYear;
    date = {currentYear, numbers[dayFirst ? 1 : 0].Value, numbers[dayFirst ? 0 : 1].Value};
  } else if (order == EMDateOrder::YearMonthDay) {
    date = {WindowedYear(numbers[0], currentYear), numbers[1].Value, numbers[2].Value};
  } else if (order == EMDateOrder::DayMonthYear) {
    date = {WindowedYear(numbers[2], currentYear), numbers[1].Value, numbers[0].Value};
  } else {
    date = {WindowedYear(numbers[2], currentYear), numbers[0].Value, numbers[1].Value};
  }
  if (!IsCalendarDate(date.Year, date.Month, date.Day)) return std::nullopt;
  return static_cast<double>(DayNumberOf(date));
}

double TextToDate(std::string_view text, const SRegionalSettings& settings, int currentYear) {
  return ReadDateText(text, settings, currentYear).value_or(0);
}

// "m/d/y with '/'": the order of the short date format and the separator.
std::string ExpectedDateText(const SRegionalSettings& settings) {
  const char* picture[] = {"m", "d", "y"};
  switch (DateOrderOf(settings.ShortDateFormat)) {
    case EMDateOrder::DayMonthYear: picture[0] = "d"; picture[1] = "m"; break;
    case EMDateOrder::YearMonthDay: picture[0] = "y"; picture[1] = "m"; picture[2] = "d"; break;
    default: break;
  }
  const char separator = settings.DateSeparator;
  std::string text = std::string(picture[0]) + separator + picture[1] + separator + picture[2];
  return text + " with '" + separator + "'";
}

}  // namespace rulecalc
